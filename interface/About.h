#pragma once
// The About box: product picture, program title and version, the maker's contact lines and
// its mail and web links.

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TMainFrm;

class TAboutBoxFrm : public QDialog {
public:
    explicit TAboutBoxFrm(TMainFrm& owner);
    ~TAboutBoxFrm() override;

    void FormCreate();
    void Label3Click();
    void Label4Click();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* LabelMaker = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    // Shows the application icon; the main window's timer animates it while the box is open.
    QLabel* Image1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

private:
    void CreateControls();

    TMainFrm& main_;
};

// The maker's lines of the box.
namespace about {
inline constexpr const char* MakerLine = "Tolvex test equipment";
inline constexpr const char* ContactLines[] = {"Tolvex", "14 Bench Road", "Testing Park"};
inline constexpr const char* SupportMail = "support@tolvex.example";
inline constexpr const char* WebAddress = "www.tolvex.example";
} // namespace about
