#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace hushnote {

// Help, "About Hushnote...": shows the one About window, ownerless and not
// modal; when it is already open it is brought to the front unchanged.
void ShowAboutWindow();

class frmAbout;

// The About window currently open, or null.
frmAbout* CurrentAboutWindow();

// The About window: title, version, the maker's links, a notice and the
// Update and OK buttons. It deletes itself when closed, so every opening
// builds it afresh with both links in their normal style.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    QLabel* picIcon = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblMailTo = nullptr;
    QLabel* lblFennick = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    // Arranges the window again when the font or the screen changes.
    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // Places the controls for the current font and screen.
    void ArrangeControls();

    void Form_Load();
    void Form_MouseMove();
    void lblFennick_MouseMove();
    void lblMailTo_MouseMove();
    void lblFennick_Click();
    void lblMailTo_Click();
    void cmdOK_Click();
    void cmdUpdate_Click();

    // The link that got the left button press, so that a click is a press
    // and a release on the same link.
    QLabel* pressedLink_ = nullptr;
};

} // namespace hushnote
