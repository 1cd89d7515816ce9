#include "launcher/login/qt/window_controls.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "launcher/login/qt/artwork.h"
#include "launcher/startup/login_form_design.h"

namespace kx::launcher::qt {
namespace {

// Password boxes show "*" for every character, whatever the platform style would show.
class AsteriskPasswordStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

Qt::Alignment alignmentOf(TextAlign align) {
    switch (align) {
        case TextAlign::Right:
            return Qt::AlignRight | Qt::AlignTop;
        case TextAlign::Center:
            return Qt::AlignHCenter | Qt::AlignTop;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* createPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);  // a panel in front covers the ones behind it
    return panel;
}

QWidget* createBar(QWidget* parent) {
    auto* bar = new QWidget(parent);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    bar->setPalette(palette);
    return bar;
}

QWidget* createWidget(const ControlDesign& design, QWidget* parent) {
    const QString text = QString::fromUtf8(design.text);
    switch (design.kind) {
        case ControlKind::Panel:
            return createPanel(parent);
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(text, parent);
            frame->setAutoFillBackground(true);
            return frame;
        }
        case ControlKind::Picture: {
            auto* picture = new QLabel(parent);
            picture->setPixmap(drawLogo());
            picture->setAlignment(Qt::AlignCenter);
            return picture;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);  // texts from the server are never markup
            label->setAlignment(alignmentOf(design.align));
            return label;
        }
        case ControlKind::TextBox:
            return new QLineEdit(text, parent);
        case ControlKind::PasswordBox: {
            auto* box = new QLineEdit(text, parent);
            auto* style = new AsteriskPasswordStyle;
            style->setParent(box);
            box->setStyle(style);
            box->setEchoMode(QLineEdit::Password);
            return box;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::Button: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(true);  // Enter clicks the button that has the focus
            return button;
        }
        case ControlKind::PictureButton: {
            auto* button = new QPushButton(parent);
            const int size = twipsToPixels(design.place.height);
            button->setIcon(QIcon(drawRefreshPicture(size)));
            button->setIconSize(QSize(size - 6, size - 6));
            button->setAutoDefault(true);
            return button;
        }
        case ControlKind::Grid:
            return new GridWidget(parent);
        case ControlKind::Bar:
            return createBar(parent);
        case ControlKind::Timer:
            break;
    }
    return nullptr;
}

void chainTabOrder(const ControlWidgets& widgets) {
    // Panels keep their controls together; within a panel the designed tab index decides.
    std::vector<std::pair<std::pair<std::size_t, int>, QWidget*>> order;
    for (const ControlDesign& design : loginFormDesign()) {
        if (design.tabIndex >= 0 && design.container) {
            const auto panel = static_cast<std::size_t>(*design.container);
            order.push_back(
                {{panel, design.tabIndex}, widgets[static_cast<std::size_t>(design.id)]});
        }
    }
    // The login panel, which stands behind the selection panel, comes first.
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return std::make_pair(-static_cast<long>(a.first.first), a.first.second) <
               std::make_pair(-static_cast<long>(b.first.first), b.first.second);
    });
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    }
}

}  // namespace

GridWidget::GridWidget(QWidget* parent) : QTableWidget(0, 1, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
}

void GridWidget::notePointer(const QMouseEvent* event) {
    pointerRow_ = rowAt(event->position().toPoint().y());
}

void GridWidget::mouseMoveEvent(QMouseEvent* event) {
    notePointer(event);
    QTableWidget::mouseMoveEvent(event);
}

void GridWidget::mousePressEvent(QMouseEvent* event) {
    notePointer(event);
    QTableWidget::mousePressEvent(event);
}

void GridWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    notePointer(event);
    QTableWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onDoubleClick) {
        onDoubleClick();
    }
}

ControlWidgets createControls(QWidget& window) {
    QFont font(QString::fromUtf8(kWindowFontFamily));
    font.setPointSizeF(kWindowFontPointSize);
    window.setFont(font);
    window.setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    ControlWidgets widgets{};
    // Containers come before their controls in the design table.
    for (const ControlDesign& design : loginFormDesign()) {
        QWidget* parent =
            design.container ? widgets[static_cast<std::size_t>(*design.container)] : &window;
        QWidget* widget = createWidget(design, parent);
        if (widget == nullptr) {
            continue;
        }
        widget->setObjectName(QString::fromUtf8(design.name));
        widget->setGeometry(twipsToPixels(design.place.left), twipsToPixels(design.place.top),
                            twipsToPixels(design.place.width), twipsToPixels(design.place.height));
        // A one-line label lower than a line of its font would cut the text off at the bottom
        // (the install status line is designed 13 pixels high): grow it to one line.
        if (design.kind == ControlKind::Label &&
            widget->height() < widget->fontMetrics().height()) {
            widget->resize(widget->width(), widget->fontMetrics().height());
        }
        widget->setVisible(design.visible);
        if (design.tabIndex < 0) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        widgets[static_cast<std::size_t>(design.id)] = widget;
    }
    // The table lists controls front to back: raising them in reverse puts the first in front.
    const auto& design = loginFormDesign();
    for (auto it = design.rbegin(); it != design.rend(); ++it) {
        if (QWidget* widget = widgets[static_cast<std::size_t>(it->id)]) {
            widget->raise();
        }
    }
    chainTabOrder(widgets);
    return widgets;
}

}  // namespace kx::launcher::qt
