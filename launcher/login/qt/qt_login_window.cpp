#include "launcher/login/qt/qt_login_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <stdexcept>

#include "launcher/startup/login_form_design.h"

namespace kx::launcher::qt {

// The top-level widget: hands close requests and the keys its controls leave alone to the view.
class LoginWindowWidget final : public QWidget {
  public:
    explicit LoginWindowWidget(QtLoginWindow& view) : view_(view) {}

  protected:
    void closeEvent(QCloseEvent* event) override { view_.onCloseRequest(event); }

    void keyPressEvent(QKeyEvent* event) override {
        if (!view_.onKey(event->key())) {
            QWidget::keyPressEvent(event);
        }
    }

  private:
    QtLoginWindow& view_;
};

namespace {

template <typename Widget>
Widget* as(QWidget* widget, Control control) {
    auto* typed = qobject_cast<Widget*>(widget);
    if (typed == nullptr) {
        throw std::logic_error(std::string("the operation does not apply to ") +
                               designOf(control).name);
    }
    return typed;
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QtLoginWindow::QtLoginWindow(LauncherEnvironment environment)
    : widget_(new LoginWindowWidget(*this)),
      form_(std::make_unique<FrmLogin>(*this, std::move(environment))) {
    controls_ = createControls(*widget_);
    installTimer_.setInterval(kInstallTimerIntervalMs);
    connectEvents();
}

QtLoginWindow::~QtLoginWindow() {
    installTimer_.stop();
    delete widget_.data();
}

QWidget* QtLoginWindow::window() const {
    return widget_.data();
}

QWidget* QtLoginWindow::widgetOf(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

QWidget& QtLoginWindow::widgetFor(Control control) const {
    QWidget* widget = widgetOf(control);
    if (widget == nullptr) {
        throw std::logic_error(std::string("no widget for ") + designOf(control).name);
    }
    return *widget;
}

void QtLoginWindow::connectEvents() {
    for (const ControlDesign& design : loginFormDesign()) {
        if (auto* button = qobject_cast<QAbstractButton*>(widgetOf(design.id))) {
            const Control control = design.id;
            QObject::connect(button, &QAbstractButton::clicked, widget_, [this, control] {
                form_->controlEvent(control, ControlEvent::Click);
            });
        }
    }
    grid().onDoubleClick = [this] {
        form_->controlEvent(Control::grdVersions, ControlEvent::DblClick);
    };
    QObject::connect(&installTimer_, &QTimer::timeout, widget_,
                     [this] { form_->controlEvent(Control::tmrComInstall, ControlEvent::Timer); });
}

void QtLoginWindow::show() {
    form_->Load();
    if (widget_ && !unloaded_) {
        widget_->show();
    }
}

void QtLoginWindow::onCloseRequest(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    // The window system's requests (close box, system menu, Alt+F4) arrive spontaneously; the
    // program's own unload never comes here, so any other request is the session ending.
    const std::int16_t mode =
        event->spontaneous() ? unloadmode::kFormControlMenu : unloadmode::kAppWindows;
    event->setAccepted(form_->closeRequested(mode));
}

bool QtLoginWindow::loginPanelInFront() const {
    return !visible(Control::frameVersions) && !visible(Control::frameInstall) &&
           visible(Control::frameLogin);
}

void QtLoginWindow::clickIfUsable(Control button) {
    auto* widget = as<QAbstractButton>(widgetOf(button), button);
    if (widget->isVisible() && widget->isEnabled()) {
        widget->click();
    }
}

bool QtLoginWindow::onKey(int key) {
    if (!loginPanelInFront()) {
        return false;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        clickIfUsable(Control::cmdLogin);
        return true;
    }
    if (key == Qt::Key_Escape) {
        clickIfUsable(Control::cmdCancel);
        return true;
    }
    return false;
}

void QtLoginWindow::setTitle(const std::string& title) {
    widget_->setWindowTitle(toQString(title));
}

std::string QtLoginWindow::title() const {
    return widget_->windowTitle().toStdString();
}

void QtLoginWindow::setText(Control control, const std::string& text) {
    QWidget* widget = &widgetFor(control);
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull()) {
        label->setText(toQString(text));
    } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        box->setText(toQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(toQString(text));
    } else {
        as<QGroupBox>(widget, control)->setTitle(toQString(text));
    }
}

std::string QtLoginWindow::text(Control control) const {
    QWidget* widget = &widgetFor(control);
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull()) {
        return label->text().toStdString();
    }
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        return box->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    return as<QGroupBox>(widget, control)->title().toStdString();
}

void QtLoginWindow::setChecked(Control control, bool checked) {
    as<QCheckBox>(&widgetFor(control), control)->setChecked(checked);
}

bool QtLoginWindow::checked(Control control) const {
    return as<QCheckBox>(&widgetFor(control), control)->isChecked();
}

void QtLoginWindow::setEnabled(Control control, bool enabled) {
    if (control == Control::tmrComInstall) {
        if (enabled) {
            installTimer_.start();
        } else {
            installTimer_.stop();
        }
        return;
    }
    widgetFor(control).setEnabled(enabled);
}

bool QtLoginWindow::enabled(Control control) const {
    if (control == Control::tmrComInstall) {
        return installTimer_.isActive();
    }
    // The control's own setting, not whether a disabled container greys it out.
    return !widgetFor(control).testAttribute(Qt::WA_ForceDisabled);
}

void QtLoginWindow::setVisible(Control control, bool visible) {
    QWidget& widget = widgetFor(control);
    // The stacking is fixed when the controls are made, so a panel shown stands in front of
    // the panels designed behind it and behind those designed in front of it.
    widget.setVisible(visible);
}

bool QtLoginWindow::visible(Control control) const {
    const QWidget& widget = widgetFor(control);
    return widget.isVisibleTo(widget.parentWidget());
}

void QtLoginWindow::setFocus(Control control) {
    widgetFor(control).setFocus(Qt::OtherFocusReason);
}

void QtLoginWindow::setBarWidth(Control bar, float twips) {
    const ControlDesign& design = designOf(bar);
    if (design.kind != ControlKind::Bar) {
        throw std::logic_error(std::string("not a progress bar: ") + design.name);
    }
    const float width = clampBarWidth(twips, static_cast<float>(design.place.width));
    QWidget& widget = widgetFor(bar);
    widget.resize(twipsToPixels(static_cast<int>(width)), widget.height());
}

void QtLoginWindow::setMousePointer(MousePointer pointer) {
    if (pointer == MousePointer::Hourglass) {
        widget_->setCursor(Qt::WaitCursor);
    } else {
        widget_->unsetCursor();
    }
}

void QtLoginWindow::setGridRows(const std::vector<std::string>& rows) {
    GridWidget* grid = &this->grid();
    grid->clearContents();
    grid->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTableWidgetItem(toQString(rows[i]));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        grid->setItem(static_cast<int>(i), 0, item);
    }
    grid->resizeRowsToContents();
}

int QtLoginWindow::gridRowCount() const {
    return grid().rowCount();
}

int QtLoginWindow::gridCurrentRow() const {
    return grid().currentRow();
}

void QtLoginWindow::setGridCurrentRow(int row) {
    GridWidget* grid = &this->grid();
    if (row >= 0 && row < grid->rowCount()) {
        grid->setCurrentCell(row, 0);
    }
}

int QtLoginWindow::gridRowUnderPointer() const {
    return grid().rowUnderPointer();
}

GridWidget& QtLoginWindow::grid() const {
    return static_cast<GridWidget&>(widgetFor(Control::grdVersions));
}

void QtLoginWindow::Refresh() {
    if (widget_) {
        widget_->repaint();
    }
}

void QtLoginWindow::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtLoginWindow::postToUiThread(std::function<void()> call) {
    // The widget is only read here; QPointer tracks its destruction on the window's thread.
    QMetaObject::invokeMethod(widget_.data(), std::move(call), Qt::QueuedConnection);
}

void QtLoginWindow::unloadWindow() {
    unloaded_ = true;
    installTimer_.stop();
    if (widget_) {
        // Closing the last window ends the program's event loop.
        widget_->close();
    }
}

}  // namespace kx::launcher::qt
