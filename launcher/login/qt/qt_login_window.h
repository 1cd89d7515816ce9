#pragma once
// The launcher window frmLogin in Qt Widgets: the LoginView that the program's procedures work,
// owning the window's procedures (FrmLogin) for its lifetime.
//
// Controls report their events to the procedures: button and check-box clicks, double clicks in
// the grid (anywhere in it, as the row under the pointer is the procedure's business), ticks of
// the install timer. Enter clicks the focused button, or Login while the login panel is in front;
// Esc clicks Cancel while the login panel is in front. A close request from the title bar (close
// box, system menu, Alt+F4) reaches the procedures as unload mode 0, which they refuse; any other
// close request from outside the program (the session ending) as mode 2. The procedures' own
// unload closes the window without asking again.

#include <QPointer>
#include <QTimer>
#include <memory>

#include "launcher/login/qt/window_controls.h"
#include "launcher/startup/frm_login.h"
#include "launcher/startup/login_view.h"

namespace kx::launcher::qt {

class LoginWindowWidget;

class QtLoginWindow final : public LoginView {
  public:
    explicit QtLoginWindow(LauncherEnvironment environment);
    ~QtLoginWindow() override;
    QtLoginWindow(const QtLoginWindow&) = delete;
    QtLoginWindow& operator=(const QtLoginWindow&) = delete;

    FrmLogin& form() { return *form_; }
    // The top-level widget (null once Qt has destroyed it) and the widget of a control.
    QWidget* window() const;
    QWidget* widgetOf(Control control) const;

    // Loads the window (Form_Load runs before the first paint), then shows it.
    void show();

    void setTitle(const std::string& title) override;
    std::string title() const override;
    void setText(Control control, const std::string& text) override;
    std::string text(Control control) const override;
    void setChecked(Control control, bool checked) override;
    bool checked(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    bool enabled(Control control) const override;
    void setVisible(Control control, bool visible) override;
    bool visible(Control control) const override;
    void setFocus(Control control) override;
    void setBarWidth(Control bar, float twips) override;
    void setMousePointer(MousePointer pointer) override;
    void setGridRows(const std::vector<std::string>& rows) override;
    int gridRowCount() const override;
    int gridCurrentRow() const override;
    void setGridCurrentRow(int row) override;
    int gridRowUnderPointer() const override;
    void Refresh() override;
    void DoEvents() override;
    void unloadWindow() override;
    // Queued to the window's widget; dropped when the widget is gone.
    void postToUiThread(std::function<void()> call) override;

  private:
    friend class LoginWindowWidget;

    void connectEvents();
    void onCloseRequest(QCloseEvent* event);
    bool onKey(int key);
    bool loginPanelInFront() const;
    void clickIfUsable(Control button);
    QWidget& widgetFor(Control control) const;
    GridWidget& grid() const;

    QPointer<LoginWindowWidget> widget_;
    ControlWidgets controls_{};
    QTimer installTimer_;
    bool unloaded_ = false;
    std::unique_ptr<FrmLogin> form_;
};

}  // namespace kx::launcher::qt
