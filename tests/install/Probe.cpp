// A Qt plugin that the install test loads into the installed program (QT_QPA_GENERIC_PLUGINS):
// it goes through the window as an operator would, finding the controls by their names, and
// writes what it saw on standard output, one fact a line. It links only Qt: it sees the
// program from outside, and the program has no switch for it.
//
//   test <item>           each entry of the test list, in its order
//   status <text>         the box status once the connect ended
//   help <file>           the page the help window opened, and its title on "help-title"
//   probe: <what>         what did not happen in time; the program then exits with 3

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGenericPlugin>
#include <QLabel>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int PollMs = 100;
// Each step in real time on the simulated bench; the connect takes a few seconds of it.
constexpr qint64 StepLimitMs = 60000;
constexpr int TimedOut = 3;

void Say(const QString& line) {
    std::fputs((line + '\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

QWidget* TopLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
    return nullptr;
}

class Probe final : public QObject {
public:
    Probe() {
        connect(&poll_, &QTimer::timeout, this, [this] { Tick(); });
        poll_.start(PollMs);
        Next("the main window", [this] { return MainWindowShown(); });
    }

private:
    // The step waits until its condition holds; the condition does the step's work then.
    void Next(const char* what, std::function<bool()> done) {
        what_ = what;
        done_ = std::move(done);
        since_.start();
    }

    void Tick() {
        if (busy_ || !done_) return; // a tick inside a box's or a handler's own loop
        busy_ = true;
        const std::function<bool()> step = done_; // which may name the next step meanwhile
        if (!step() && since_.elapsed() > StepLimitMs) GiveUp();
        busy_ = false;
    }

    // A click as the operator's, from the event loop rather than inside the probe's tick: the
    // handler runs the whole procedure (the connect processes messages for seconds), so once
    // click() returns it has ended.
    void Click(const char* name) {
        clicked_ = false;
        QTimer::singleShot(0, this, [this, name] {
            if (auto* button = main_->findChild<QAbstractButton*>(name)) button->click();
            clicked_ = true;
        });
    }

    void GiveUp() {
        Say(QStringLiteral("probe: waited %1 s for %2").arg(StepLimitMs / 1000).arg(what_));
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            Say("probe: a box is open: " + box->text());
        done_ = nullptr;
        QCoreApplication::exit(TimedOut);
    }

    bool MainWindowShown() {
        main_ = TopLevel("MainFrm");
        if (!main_) return false;
        if (auto* list = main_->findChild<QComboBox*>("CableLst"))
            for (int i = 0; i < list->count(); ++i) Say("test " + list->itemText(i));
        Click("PowerBtn");
        Next("the end of the connect", [this] { return Connected(); });
        return true;
    }

    bool Connected() {
        if (!clicked_) return false;
        auto* status = main_->findChild<QLabel*>("StaticTextStatus");
        Say("status " + (status ? status->text() : QStringLiteral("(no status)")));
        Click("HelpButton");
        Next("the help window", [this] { return HelpShown(); });
        return true;
    }

    bool HelpShown() {
        QWidget* help = clicked_ ? TopLevel("HelpWindow") : nullptr;
        if (!help) return false;
        if (auto* browser = help->findChild<QTextBrowser*>("HelpBrowser")) {
            Say("help " + browser->source().toLocalFile());
            Say("help-title " + browser->documentTitle());
        }
        // As the operator closes it: the settings are saved, the help goes, the program ends.
        QTimer::singleShot(0, main_, [this] { main_->close(); });
        Next("the end of the program", [] { return false; });
        return true;
    }

    QTimer poll_;
    QElapsedTimer since_;
    const char* what_ = "";
    std::function<bool()> done_;
    bool busy_ = false;
    bool clicked_ = false;
    QWidget* main_ = nullptr;
};

} // namespace

class ProbePlugin final : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "probe.json")

public:
    QObject* create(const QString&, const QString&) override { return new Probe; }
};

#include "Probe.moc"
