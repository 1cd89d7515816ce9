#include "errhandler/whitelabel/qt/qt_control_object.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <optional>
#include <tuple>

#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace kx::errhandler::qt {

namespace {

constexpr std::int32_t kInvalidPicture = 481;

// A text member of some widget kinds: whether a widget has it, and how it is read and written.
struct TextMember {
    const char* name;
    bool (*has)(const QWidget& widget, bool isWindow);
    QString (*read)(const QWidget& widget);
    void (*write)(QWidget& widget, const QString& text);
};

template <typename Kind>
bool isControlOfKind(const QWidget& widget, bool isWindow) {
    return !isWindow && qobject_cast<const Kind*>(&widget) != nullptr;
}

template <typename Kind>
const Kind& as(const QWidget& widget) {
    return static_cast<const Kind&>(widget);
}

template <typename Kind>
Kind& as(QWidget& widget) {
    return static_cast<Kind&>(widget);
}

bool isLine(const QWidget& widget) {
    const auto* frame = qobject_cast<const QFrame*>(&widget);
    return frame != nullptr &&
           (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine);
}

const QString kColumnSeparator = QStringLiteral("|");

QString columnHeadings(const QTableWidget& grid) {
    QStringList headings;
    for (int column = 0; column < grid.columnCount(); ++column) {
        const QTableWidgetItem* item = grid.horizontalHeaderItem(column);
        headings << (item != nullptr ? item->text() : QString());
    }
    return headings.join(kColumnSeparator);
}

void setColumnHeadings(QTableWidget& grid, const QString& text) {
    grid.setHorizontalHeaderLabels(text.split(kColumnSeparator));
}

const TextMember kTextMembers[] = {
    {"Caption", [](const QWidget&, bool isWindow) { return isWindow; },
     [](const QWidget& w) { return w.windowTitle(); },
     [](QWidget& w, const QString& text) { w.setWindowTitle(text); }},
    {"Caption", isControlOfKind<QLabel>, [](const QWidget& w) { return as<QLabel>(w).text(); },
     [](QWidget& w, const QString& text) { as<QLabel>(w).setText(text); }},
    {"Caption", isControlOfKind<QAbstractButton>,
     [](const QWidget& w) { return as<QAbstractButton>(w).text(); },
     [](QWidget& w, const QString& text) { as<QAbstractButton>(w).setText(text); }},
    {"Caption", isControlOfKind<QGroupBox>,
     [](const QWidget& w) { return as<QGroupBox>(w).title(); },
     [](QWidget& w, const QString& text) { as<QGroupBox>(w).setTitle(text); }},
    {"Text", isControlOfKind<QLineEdit>, [](const QWidget& w) { return as<QLineEdit>(w).text(); },
     [](QWidget& w, const QString& text) { as<QLineEdit>(w).setText(text); }},
    {"Text", isControlOfKind<QPlainTextEdit>,
     [](const QWidget& w) { return as<QPlainTextEdit>(w).toPlainText(); },
     [](QWidget& w, const QString& text) { as<QPlainTextEdit>(w).setPlainText(text); }},
    {"FormatString", isControlOfKind<QTableWidget>,
     [](const QWidget& w) { return columnHeadings(as<QTableWidget>(w)); },
     [](QWidget& w, const QString& text) { setColumnHeadings(as<QTableWidget>(w), text); }},
    {"ToolTipText", [](const QWidget& w, bool isWindow) { return !isWindow && !isLine(w); },
     [](const QWidget& w) { return w.toolTip(); },
     [](QWidget& w, const QString& text) { w.setToolTip(text); }},
};

const TextMember* textMemberOf(const QWidget& widget, bool isWindow, std::string_view name) {
    for (const TextMember& member : kTextMembers) {
        if (sameMemberName(member.name, name) && member.has(widget, isWindow)) {
            return &member;
        }
    }
    return nullptr;
}

// The widgets a container holds, or nothing when the widget is no container.
std::optional<QWidgetList> heldWidgets(QWidget& widget, bool isWindow) {
    if (const auto* area = qobject_cast<QScrollArea*>(&widget)) {
        return area->widget() != nullptr ? QWidgetList{area->widget()} : QWidgetList{};
    }
    if (const auto* tabs = qobject_cast<QTabWidget*>(&widget)) {
        QWidgetList pages;
        for (int page = 0; page < tabs->count(); ++page) {
            pages << tabs->widget(page);
        }
        return pages;
    }
    const QMetaObject* kind = widget.metaObject();
    const bool holdsChildren = isWindow || kind == &QWidget::staticMetaObject ||
                               (kind == &QFrame::staticMetaObject && !isLine(widget)) ||
                               qobject_cast<QGroupBox*>(&widget) != nullptr ||
                               qobject_cast<QStackedWidget*>(&widget) != nullptr ||
                               qobject_cast<QSplitter*>(&widget) != nullptr ||
                               qobject_cast<QDialogButtonBox*>(&widget) != nullptr;
    if (!holdsChildren) {
        return std::nullopt;
    }
    QWidgetList children = widget.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    children.removeIf([](const QWidget* child) { return child->isWindow(); });
    return children;
}

void sortInReadingOrder(QWidgetList& widgets) {
    std::stable_sort(widgets.begin(), widgets.end(), [](const QWidget* a, const QWidget* b) {
        return std::make_tuple(a->y(), a->x(), a->objectName()) <
               std::make_tuple(b->y(), b->x(), b->objectName());
    });
}

void loadIcon(QWidget& window, const std::string& path) {
    const QString file = QString::fromStdString(path);
    QImageReader reader(file);
    QImage picture;
    if (QFileInfo(file).size() <= kMaxIconFileSize) {
        picture = reader.read();
    }
    if (picture.isNull()) {
        raiseError(kInvalidPicture, "", "Invalid picture");
    }
    window.setWindowIcon(QIcon(QPixmap::fromImage(picture)));
}

class QtControlObject final : public Dispatch {
  public:
    QtControlObject(QWidget& widget, bool isWindow)
        : widget_(&widget), isWindow_(isWindow), className_(widget.metaObject()->className()) {}

    std::string typeName() const override { return className_; }

    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override {
        if (widget_ == nullptr) {
            raiseError(vberr::kObjectVariableNotSet);
        }
        QWidget& widget = *widget_;
        const std::size_t wanted = kind == InvokeKind::PropertyPut ? 1 : 0;
        if (args.size() != wanted) {
            raiseError(vberr::kWrongNumberOfArguments);
        }
        if (const TextMember* text = textMemberOf(widget, isWindow_, member)) {
            if (kind == InvokeKind::PropertyPut) {
                // Writing the same text again is not always harmless in Qt: a grid whose headings
                // show column numbers would get empty heading items instead.
                const QString written = QString::fromStdString(CStr(args[0]));
                if (written != text->read(widget)) {
                    text->write(widget, written);
                }
                return {};
            }
            return text->read(widget).toStdString();
        }
        if (sameMemberName(member, "Controls") && kind == InvokeKind::PropertyGet) {
            if (auto held = heldWidgets(widget, isWindow_)) {
                return controlsOf(*held);
            }
        }
        if (sameMemberName(member, "Icon") && kind == InvokeKind::PropertyPut && isWindow_) {
            loadIcon(widget, CStr(args[0]));
            return {};
        }
        raiseError(vberr::kObjectDoesntSupportMember);
    }

  private:
    static Variant controlsOf(QWidgetList widgets) {
        sortInReadingOrder(widgets);
        auto controls = std::make_shared<Collection>();
        for (QWidget* widget : widgets) {
            controls->Add(Variant::object(std::make_shared<QtControlObject>(*widget, false)));
        }
        return Variant::object(controls);
    }

    QPointer<QWidget> widget_;
    bool isWindow_;
    std::string className_;
};

}  // namespace

std::shared_ptr<Dispatch> windowObject(QWidget& window) {
    return std::make_shared<QtControlObject>(window, true);
}

}  // namespace kx::errhandler::qt
