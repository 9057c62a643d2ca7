// The program's help: the operator's guide (HTML pages in Help/ beside the program) in a help
// window of our own. Like a system help viewer, the window belongs to the process rather than
// to the main window: it stays until the operator closes it or the program closes it at exit.

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "interface/Main.h"

namespace {

const char* const ContentsPage = "Help/index.html";
const char* const HelpTitle = "Calbrix Help";

class HelpWindow final : public QWidget {
public:
    HelpWindow() : QWidget(nullptr, Qt::Window) {
        setObjectName("HelpWindow");
        setAttribute(Qt::WA_DeleteOnClose);
        // An open guide does not keep the program running once its main window is gone.
        setAttribute(Qt::WA_QuitOnClose, false);
        setWindowTitle(HelpTitle);
        resize(640, 560);

        auto* contents = new QToolButton;
        contents->setObjectName("HelpContents");
        contents->setText("Contents");
        auto* back = new QToolButton;
        back->setObjectName("HelpBack");
        back->setText("Back");
        back->setEnabled(false);
        auto* forward = new QToolButton;
        forward->setObjectName("HelpForward");
        forward->setText("Forward");
        forward->setEnabled(false);
        Browser = new QTextBrowser;
        Browser->setObjectName("HelpBrowser");
        Browser->setOpenExternalLinks(true);

        auto* buttons = new QHBoxLayout;
        for (QToolButton* button : {contents, back, forward}) buttons->addWidget(button);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(Browser);

        connect(contents, &QToolButton::clicked, this, [this] { Browser->setSource(contents_); });
        connect(back, &QToolButton::clicked, Browser, &QTextBrowser::backward);
        connect(forward, &QToolButton::clicked, Browser, &QTextBrowser::forward);
        connect(Browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
        connect(Browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
        connect(Browser, &QTextBrowser::sourceChanged, this, [this] {
            const QString page = Browser->documentTitle();
            setWindowTitle(page.isEmpty() ? HelpTitle : QString(HelpTitle) + " - " + page);
        });
    }

    void ShowContents(const QUrl& contents) {
        contents_ = contents;
        Browser->setSource(contents);
        show();
        raise();
        activateWindow();
    }

    QTextBrowser* Browser = nullptr;

private:
    QUrl contents_;
};

// The help window of the process, while it is open.
QPointer<HelpWindow>& OpenHelpWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

void TMainFrm::HelpButtonClick() {
    ShowHelp();
}

void TMainFrm::ShowHelp() {
    const QString contents =
        QString::fromStdString(Services().process.ProgramFolder()) + ContentsPage;
    // A missing guide shows nothing, as a help viewer that finds no file.
    if (!QFileInfo::exists(contents)) return;
    QPointer<HelpWindow>& window = OpenHelpWindow();
    if (!window) window = new HelpWindow;
    window->ShowContents(QUrl::fromLocalFile(contents));
}

void TMainFrm::CloseAllHelp() {
    if (QPointer<HelpWindow>& window = OpenHelpWindow()) window->close();
}
