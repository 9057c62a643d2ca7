#include "tests/scenario/Harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/MainFields.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"
#include "tests/support/WindowClicks.h"

namespace scenario {

namespace {

platform::MsgResult AnswerNamed(const std::string& name) {
    static const std::map<std::string, platform::MsgResult> answers = {
        {"OK", platform::MsgResult::Ok},         {"Cancel", platform::MsgResult::Cancel},
        {"Abort", platform::MsgResult::Abort},   {"Retry", platform::MsgResult::Retry},
        {"Ignore", platform::MsgResult::Ignore}, {"Yes", platform::MsgResult::Yes},
        {"No", platform::MsgResult::No},
    };
    if (auto it = answers.find(name); it != answers.end()) return it->second;
    throw ScenarioError("unknown answer \"" + name + "\"");
}

// A box command byte as the transcript shows it: the letter, or its hex value.
std::string CommandText(uint8_t command) {
    if (command > 0x20 && command < 0x7F) return std::string(1, static_cast<char>(command));
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", command);
    return hex;
}

} // namespace

int Int(const std::string& word) {
    try {
        size_t used = 0;
        const int value = std::stoi(word, &used, 0);
        if (used == word.size()) return value;
    } catch (const std::logic_error&) {
    }
    throw ScenarioError("not a whole number: " + word);
}

// Message processing: Qt's own events, the virtual timers that are due, and the steps a
// scenario placed at this call.
class Harness::Pump final : public platform::EventPump {
public:
    explicit Pump(Harness& h) : h_(h) {}
    void ProcessMessages() override { h_.ProcessMessages(); }

private:
    Harness& h_;
};

class Harness::Boxes final : public platform::MessageBoxes {
    // The button that ends what the box asks about: Cancel, Abort or No where the box has one.
    static platform::MsgResult GiveUp(const platform::MessageBoxRequest& r) {
        const auto buttons = platform::ButtonsOf(r.Buttons);
        for (const auto escape :
             {platform::MsgResult::Cancel, platform::MsgResult::Abort, platform::MsgResult::No})
            if (std::find(buttons.begin(), buttons.end(), escape) != buttons.end()) return escape;
        return platform::DefaultAnswer(r);
    }

public:
    explicit Boxes(Harness& h) : h_(h) {}
    platform::MsgResult Show(const platform::MessageBoxRequest& r) override {
        // An operator reads the box for a while; the window's timer goes on meanwhile.
        if (h_.thinkMs_ > 0) h_.WaitMs(h_.thinkMs_);
        auto answer = platform::DefaultAnswer(r);
        // A program that asks again and again (a device wait, a remote-mode prompt) would keep
        // a broken scenario running for ever: after a fault, or too many boxes in one step,
        // the operator gives up.
        if (++shownThisStep > MaxBoxesPerStep)
            h_.Defer("more than " + std::to_string(MaxBoxesPerStep) +
                     " message boxes in one step; the last: " + QuoteText(r.Text));
        // What the operator does while the box is up (pull a wire out, say) before answering.
        if (!h_.onBox_.empty()) {
            const std::string step = h_.onBox_.front();
            h_.onBox_.pop_front();
            try {
                h_.RunStep(step);
            } catch (const std::exception& e) {
                h_.Defer("on-box step \"" + step + "\": " + e.what());
            }
        }
        if (!h_.deferred_.empty()) {
            answer = GiveUp(r);
        } else if (!script.empty()) {
            const auto scripted = script.front();
            script.pop_front();
            const auto buttons = platform::ButtonsOf(r.Buttons);
            if (std::find(buttons.begin(), buttons.end(), scripted) != buttons.end())
                answer = scripted;
            else
                h_.Defer(std::string("the answer ") + platform::Name(scripted) +
                         " is not a button of the box " + QuoteText(r.Text));
        }
        h_.Log(std::string("box ") + platform::Name(r.Icon) + " " + platform::Name(r.Buttons) +
               (r.Caption.empty() ? "" : " caption=" + QuoteText(r.Caption)) + " " +
               QuoteText(h_.ShownText(r.Text)) + " -> " + platform::Name(answer));
        return answer;
    }
    std::deque<platform::MsgResult> script;
    int shownThisStep = 0;
    static constexpr int MaxBoxesPerStep = 1000;

private:
    Harness& h_;
};

class Harness::Tones final : public platform::Tones {
public:
    explicit Tones(Harness& h) : h_(h) {}
    void Beep(uint32_t frequencyHz, uint32_t ms) override {
        h_.Log("tone " + std::to_string(frequencyHz) + " Hz " + std::to_string(ms) + " ms");
        h_.clock_.Sleep(ms);
        h_.RunWhen(h_.whenTone_, [](const std::string& count) { return count == "1"; });
        for (auto& [count, step] : h_.whenTone_) count = std::to_string(std::stoi(count) - 1);
    }

private:
    Harness& h_;
};

class Harness::Process final : public platform::ProcessService {
public:
    explicit Process(Harness& h) : h_(h) {}
    bool RaisePriority(platform::PriorityClass) override { return true; }
    bool KeepAwake() override { return true; }
    bool StartProgram(const std::string& path, const std::string& arguments) override {
        h_.Log("start-program " + QuoteText(h_.Shown(path)) + " " + QuoteText(arguments));
        return true;
    }
    bool OpenLink(const std::string& url) override {
        h_.Log("open-link " + QuoteText(url));
        return true;
    }
    std::string ProgramFolder() override { return programFolder; }
    std::vector<std::string> Arguments() override { return arguments; }
    std::string DataRoot() override { return dataRoot; }

    std::string programFolder;
    std::string dataRoot;
    std::vector<std::string> arguments;

private:
    Harness& h_;
};

class Harness::Cursor final : public platform::CursorService {
public:
    explicit Cursor(Harness& h) : h_(h) {}
    void SetCursor(platform::CursorShape shape) override {
        if (shape == current_) return;
        current_ = shape;
        h_.Log(shape == platform::CursorShape::Hourglass ? "cursor hourglass" : "cursor default");
    }
    platform::CursorShape Current() const override { return current_; }
    platform::ScreenPoint Position() const override { return position; }

    platform::ScreenPoint position{-10000, -10000}; // away from the window until a mouse step

private:
    Harness& h_;
    platform::CursorShape current_ = platform::CursorShape::Default;
};

// Virtual timers that count their ticks, so a scenario can say "ten ticks" and the transcript
// can tell at which tick something changed.
class Harness::Timers final : public platform::TimerService {
public:
    class Counted final : public platform::Timer {
    public:
        explicit Counted(std::unique_ptr<platform::Timer> inner) : inner_(std::move(inner)) {
            inner_->OnTimer = [this] {
                ++ticks;
                if (OnTimer) {
                    auto handler = OnTimer; // the handler may replace itself
                    handler();
                }
            };
        }
        void SetInterval(uint32_t ms) override { inner_->SetInterval(ms); }
        uint32_t Interval() const override { return inner_->Interval(); }
        void SetEnabled(bool enabled) override { inner_->SetEnabled(enabled); }
        bool Enabled() const override { return inner_->Enabled(); }
        uint64_t ticks = 0;

    private:
        std::unique_ptr<platform::Timer> inner_;
    };

    explicit Timers(platform::VirtualClock& clock) : virtual_(clock) {}
    std::unique_ptr<platform::Timer> CreateTimer() override {
        return std::make_unique<Counted>(virtual_.CreateTimer());
    }
    void FireDue() { virtual_.FireDue(); }
    uint64_t NextDueMicros() const { return virtual_.NextDueMicros(); }

private:
    platform::VirtualTimers virtual_;
};

// The program's modal windows and the standard dialogs, answered from the scenario.
class Harness::Dialogs final : public platform::Dialogs {
public:
    explicit Dialogs(Harness& h) : h_(h) {}

    int ShowModal(QDialog& dialog) override {
        const std::string name = dialog.objectName().toStdString();
        h_.Log("dialog " + name + " caption=" + QuoteText(dialog.windowTitle().toStdString()));
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        h_.modal_.push_back(&dialog);
        // The steps the scenario placed in this window, then the operator closes it when the
        // steps left it open.
        auto [first, last] = h_.dialogSteps_.equal_range(name);
        std::vector<std::string> steps;
        for (auto it = first; it != last; ++it) steps.push_back(it->second);
        h_.dialogSteps_.erase(first, last);
        for (const auto& step : steps) {
            if (!dialog.isVisible()) {
                h_.Defer("dialog " + name + " closed before the step \"" + step + "\"");
                break;
            }
            try {
                h_.RunStep(step);
            } catch (const std::exception& e) {
                h_.Defer("dialog step \"" + step + "\": " + e.what());
                break;
            }
        }
        if (dialog.isVisible()) dialog.reject();
        h_.modal_.pop_back();
        h_.Log("dialog " + name + " closed -> " +
               (dialog.result() == QDialog::Accepted ? "OK" : "Cancel"));
        return dialog.result();
    }

    std::optional<platform::SaveChoice> AskSaveFile(const platform::FileDialogRequest& r) override {
        std::optional<SaveAnswer> answer;
        if (!saveAnswers.empty()) {
            answer = saveAnswers.front();
            saveAnswers.pop_front();
        }
        std::optional<platform::SaveChoice> choice;
        if (answer) choice = platform::SaveChoice{answer->path, FilterIndex(r, answer->filter)};
        if (choice && choice->FilterIndex < 0) {
            h_.Defer("the save dialog has no filter " + QuoteText(answer->filter));
            choice.reset();
        }
        h_.Log("save-dialog folder=" + QuoteText(h_.Shown(r.InitialFolder)) +
               " name=" + QuoteText(h_.Shown(r.FileName)) + " -> " +
               (choice ? QuoteText(h_.Shown(choice->FileName)) +
                             (answer->filter.empty() ? "" : " filter=" + QuoteText(answer->filter))
                       : "Cancel"));
        return choice;
    }

    bool ChooseFont(QFont& font) override {
        std::optional<QFont> answer;
        if (!fontAnswers.empty()) {
            answer = fontAnswers.front();
            fontAnswers.pop_front();
        }
        h_.Log("font-dialog " + QuoteText(font.family().toStdString()) + " -> " +
               (answer ? QuoteText(answer->family().toStdString()) : "Cancel"));
        if (answer) font = *answer;
        return answer.has_value();
    }

    bool SetupPrinter(QPrinter& printer) override {
        std::optional<std::string> answer;
        if (!printAnswers.empty()) {
            answer = printAnswers.front();
            printAnswers.pop_front();
        }
        h_.Log("print-dialog -> " + (answer ? QuoteText(h_.Shown(*answer)) : "Cancel"));
        if (!answer) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(*answer));
        return true;
    }

    // The name typed and the filter chosen by its name as shown ("Fichier texte"), empty for
    // the filter the dialog opens with.
    struct SaveAnswer {
        std::string path;
        std::string filter;
    };
    std::deque<std::optional<SaveAnswer>> saveAnswers;   // nothing: Cancel
    std::deque<std::optional<QFont>> fontAnswers;        // nothing: Cancel
    std::deque<std::optional<std::string>> printAnswers; // a PDF file, nothing: Cancel

private:
    // The filter of that name ("Name" of "Name (*.a)"), -1 when there is none; 0 for none given.
    static int FilterIndex(const platform::FileDialogRequest& r, const std::string& name) {
        if (name.empty()) return 0;
        const QStringList filters = QString::fromStdString(r.Filter).split(";;");
        for (int i = 0; i < filters.size(); ++i)
            if (filters[i].section(" (", 0, 0).toStdString() == name) return i;
        return -1;
    }

    Harness& h_;
};

Harness::Harness(std::ostream& transcript)
    : out_(transcript), timers_(std::make_unique<Timers>(clock_)),
      pump_(std::make_unique<Pump>(*this)), boxes_(std::make_unique<Boxes>(*this)),
      tones_(std::make_unique<Tones>(*this)), process_(std::make_unique<Process>(*this)),
      cursor_(std::make_unique<Cursor>(*this)), dialogs_(std::make_unique<Dialogs>(*this)) {
    // Transcripts do not depend on the machine's language; a scenario chooses its own.
    QLocale::setDefault(QLocale::c());
    platform::InjectWriteFault(std::nullopt);
}

Harness::~Harness() {
    // The scenario is over: the window goes without its closing (nothing is saved).
    window_.reset();
}

void Harness::Log(const std::string& line) {
    // Paths of the run's folders read the same wherever the tree and the temporary drive are.
    std::string shown = line;
    const std::pair<const std::string&, const char*> roots[] = {
        {process_->programFolder, "{program}/"},
        {process_->dataRoot, "{data}"},
    };
    for (const auto& [root, name] : roots) {
        if (root.empty()) continue;
        for (size_t at = shown.find(root); at != std::string::npos;
             at = shown.find(root, at + std::string(name).size()))
            shown.replace(at, root.size(), name);
    }
    out_ << shown << "\n";
}

void Harness::Defer(const std::string& error) {
    if (deferred_.empty()) deferred_ = error;
}

std::string Harness::Path(const std::string& name) const {
    if (!name.empty() && name[0] == '/') return name;
    return baseFolder_ + "/" + name;
}

std::string Harness::Shown(const std::string& path) const {
    const std::string cwd = QDir::currentPath().toStdString() + "/";
    const std::pair<const std::string&, const char*> roots[] = {
        {process_->programFolder, "{program}/"},
        {process_->dataRoot, "{data}"},
        {cwd, "{cwd}/"},
    };
    for (const auto& [root, name] : roots)
        if (!root.empty() && path.compare(0, root.size(), root) == 0)
            return name + path.substr(root.size());
    return path;
}

std::string Harness::ShownText(std::string text) const {
    const std::pair<const std::string&, const char*> roots[] = {
        {process_->programFolder, "{program}/"},
        {process_->dataRoot, "{data}"},
    };
    for (const auto& [root, name] : roots) {
        if (root.empty()) continue;
        for (size_t at = text.find(root); at != std::string::npos;
             at = text.find(root, at + std::strlen(name)))
            text.replace(at, root.size(), name);
    }
    return text;
}

std::vector<std::string> Harness::Words(const std::string& line) const {
    // Words split by blanks; "..." keeps blanks and takes \n and \t escapes. A '#' alone or
    // before a blank, or first on the line, starts a comment; "#4" is a word (an item by index).
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        if (line[i] == '#' && (words.empty() || i + 1 == line.size() || line[i + 1] == ' ')) break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    const char e = line[++i];
                    word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    word += line[i];
                }
                ++i;
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ') word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

void Harness::ProcessMessages() {
    // A scenario whose run never ends (a probe nobody touches, a prompt nobody answers) goes
    // on for ever on the virtual clock, the bench's records growing with it: it stops here with
    // a word instead of taking the machine's memory. The longest sample run, the box self-test,
    // takes 11 minutes.
    constexpr uint64_t MostVirtualMicros = uint64_t{4} * 3600 * 1'000'000;
    if (clock_.NowMicros() > MostVirtualMicros) {
        std::fprintf(stderr, "scenario stopped: 4 hours passed on the bench's clock, the run "
                             "never ends\n");
        std::_Exit(3);
    }
    ++pumpCalls_;
    QCoreApplication::processEvents();
    timers_->FireDue();
    // Steps placed at this call run now, inside the window's own processing.
    while (!atPump_.empty() && atPump_.begin()->first <= pumpCalls_) {
        const std::string step = atPump_.begin()->second;
        atPump_.erase(atPump_.begin());
        try {
            RunStep(step);
        } catch (const std::exception& e) {
            Defer("at-step \"" + step + "\": " + e.what());
        }
    }
    CheckWatches();
}

void Harness::RunWhen(std::vector<std::pair<std::string, std::string>>& pending,
                      const std::function<bool(const std::string&)>& due) {
    // The first pending step whose condition is met runs, once, inside the program's work.
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (!due(it->first)) continue;
        const std::string step = it->second;
        pending.erase(it);
        try {
            RunStep(step);
        } catch (const std::exception& e) {
            Defer("step \"" + step + "\": " + e.what());
        }
        return;
    }
}

void Harness::WaitMs(uint64_t ms) {
    const uint64_t end = clock_.NowMicros() + ms * 1000;
    while (clock_.NowMicros() < end) {
        clock_.AdvanceTo(std::min(timers_->NextDueMicros(), end));
        ProcessMessages();
    }
}

uint64_t Harness::MainTicks() const {
    return window_ ? static_cast<Timers::Counted&>(*window_->Timer1).ticks : 0;
}

void Harness::Ticks(int count) {
    if (!window_) throw ScenarioError("the window is not started");
    const uint64_t target = MainTicks() + static_cast<uint64_t>(count);
    while (window_ && MainTicks() < target) {
        const uint64_t due = timers_->NextDueMicros();
        if (due == UINT64_MAX) throw ScenarioError("no timer is running");
        clock_.AdvanceTo(due);
        ProcessMessages();
    }
}

QWidget* Harness::Control(const std::string& name) {
    if (!window_) throw ScenarioError("the window is not started");
    const QString qname = QString::fromStdString(name);
    for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
        if ((*it)->objectName() == qname) return *it;
        if (auto* inside = (*it)->findChild<QWidget*>(qname)) return inside;
    }
    auto* widget = window_->findChild<QWidget*>(QString::fromStdString(name));
    if (!widget) throw ScenarioError("no control named " + name);
    return widget;
}

std::string Harness::Describe(const std::string& name) {
    if (!window_) throw ScenarioError("the window is not started");
    const std::string field = window_->FieldText(name);
    if (!field.empty()) return "field " + name + " = " + field;
    for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
        const QString qname = QString::fromStdString(name);
        const QWidget* inside =
            (*it)->objectName() == qname ? *it : (*it)->findChild<QWidget*>(qname);
        if (inside) return "control " + name + " " + DescribeControl(inside, *it);
    }
    const std::string control = window_->ControlText(name);
    if (control.empty()) throw ScenarioError("no field or control named " + name);
    return "control " + name + " " + control;
}

void Harness::CheckWatches() {
    if (!window_) return;
    for (auto& [name, last] : watches_) {
        std::string now = Describe(name);
        if (now == last) continue;
        last = now;
        Log("watch [tick " + std::to_string(MainTicks()) + "] " + now);
    }
}

void Harness::Start() {
    if (window_) throw ScenarioError("already started");
    driver_ = std::make_unique<sim::SimulatedFtdi>(clock_, setup_.bench, setup_.timing);
    sim::ApplyDeviceSettings(*driver_, setup_);
    framesSeen_ = 0;
    if (process_->programFolder.empty()) process_->programFolder = baseFolder_ + "/";
    DataRoot();
    // The program's own operator, between the window and the scenario's answers.
    platform::MessageBoxes* boxes = boxes_.get();
    if (operatorKind_) {
        benchOperator_ = std::make_unique<sim::BenchOperator>(*driver_, *operatorKind_);
        operatorBoxes_ = std::make_unique<BenchOperatorBoxes>(*boxes_, *benchOperator_);
        boxes = operatorBoxes_.get();
    }
    services_ = std::make_unique<platform::Services>(
        platform::Services{clock_, *driver_, *boxes, *pump_, *cursor_, *timers_, *tones_, *process_,
                           devices_, *dialogs_});
    window_ = std::make_unique<TMainFrm>(*services_);
    if (benchOperator_) FollowWindow(*benchOperator_, *window_);
    window_->OnReportLine = [this](const ReportLine& line) {
        Log("report " + ColourText(line.Colour) + " " + std::to_string(line.Style) + " " +
            QuoteText(line.Text));
        RunWhen(whenReport_,
                [&](const std::string& prefix) { return line.Text.rfind(prefix, 0) == 0; });
    };
    // A panel written again with the text it shows (the remaining time after every node)
    // tells the operator nothing new.
    statusShown_.fill(std::string(1, '\0'));
    window_->OnStatusPanel = [this](int panel, const std::string& text) {
        if (panel >= 0 && panel < 3) {
            auto& shown = statusShown_[static_cast<size_t>(panel)];
            if (shown == text) return;
            shown = text;
        }
        Log("status " + std::to_string(panel) + " " + QuoteText(text));
    };
    window_->show();
    window_->FormActivate();
}

std::string Harness::DataRoot() {
    if (!dataRoot_) {
        dataRoot_ = std::make_unique<QTemporaryDir>();
        if (!dataRoot_->isValid()) throw ScenarioError("cannot make a temporary data folder");
        process_->dataRoot = dataRoot_->path().toStdString();
    }
    return process_->dataRoot;
}

void Harness::Close() {
    if (!window_) return;
    if (!window_->close()) {
        Log("(the window stays open)");
        return;
    }
    window_.reset();
    services_.reset();
    operatorBoxes_.reset();
    benchOperator_.reset();
    driver_.reset();
}

void Harness::RunScript(const std::string& text, const std::string& baseFolder) {
    baseFolder_ = baseFolder;
    std::istringstream in(text);
    int number = 0;
    auto fail = [&](const std::string& line, const std::string& why) {
        throw ScenarioError("line " + std::to_string(number) + ": " + line + ": " + why);
    };
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        boxes_->shownThisStep = 0;
        try {
            RunStep(line);
        } catch (const std::exception& e) {
            fail(line, e.what());
        }
        if (!deferred_.empty()) fail(line, deferred_);
    }
    if (!atPump_.empty()) fail("(end)", "an at-step never ran: " + atPump_.begin()->second);
}

void Harness::BenchStep(const std::string& setting) {
    if (!driver_) {
        sim::ApplyBenchLine(setup_, setting);
        return;
    }
    auto devices = [this] { return (driver_->Attached() ? 1u : 0u) + driver_->OtherDevices(); };
    const uint32_t before = devices();
    sim::ApplyBenchLine(*driver_, setting);
    // A USB device coming or going raises the system's device-change notice.
    if (devices() != before) devices_.Notify();
}

void Harness::SetStep(const std::vector<std::string>& w, const std::string& value) {
    if (!window_) throw ScenarioError("the window is not started");
    const std::string& name = w.at(1);
    try {
        if (window_->SetFieldText(name, value)) return;
    } catch (const std::invalid_argument& e) {
        throw ScenarioError(e.what());
    }
    QWidget* widget = Control(name);
    const QString text = QString::fromStdString(value);
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
    else
        throw ScenarioError(name + " has no caption to set");
}

void Harness::TrackStep(const std::vector<std::string>& w) {
    if (w.size() < 4) throw ScenarioError("track NAME position N | selection A B | range A B");
    auto* track = dynamic_cast<TrackBar*>(Control(w[1]));
    if (!track) throw ScenarioError(w[1] + " is not a track bar");
    const std::string& what = w[2];
    if (what == "position") {
        track->SetPosition(Int(w[3])); // raises its change handler
        return;
    }
    if (w.size() < 5) throw ScenarioError(what + " takes two values");
    if (what == "selection") {
        track->SetSelStart(Int(w[3]));
        track->SetSelEnd(Int(w[4]));
    } else if (what == "range") {
        track->SetRange(Int(w[3]), Int(w[4]));
    } else {
        throw ScenarioError("track takes position, selection or range");
    }
}

void Harness::CommandsStep() {
    if (!driver_) throw ScenarioError("the window is not started");
    const auto& frames = driver_->Frames();
    std::string line = "commands";
    for (size_t i = framesSeen_; i < frames.size(); ++i)
        line += " " + CommandText(frames[i].command) + (frames[i].crcOk ? "" : "!");
    if (framesSeen_ == frames.size()) line += " (none)";
    framesSeen_ = frames.size();
    Log(line);
}

// --- keys and focus on a control (steps key, focus-out) ---------------------------------------
namespace {

// A key pressed and released as the keyboard sends it: a character key carries its character.
void PressKey(QWidget* widget, const std::string& name) {
    const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(name));
    if (sequence.count() != 1) throw ScenarioError("unknown key " + name);
    const QKeyCombination combination = sequence[0];
    const int key = combination.key();
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    QString text;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        text = "\r";
    else if (key >= 0x20 && key <= 0x7E && !(modifiers & Qt::ControlModifier))
        text =
            (modifiers & Qt::ShiftModifier) ? QString(QChar(key)) : QString(QChar(key)).toLower();
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

// The focus moves on to another control of the window, as by Tab or a click elsewhere.
void LoseFocus(QWidget* widget) {
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

void Harness::RunStep(const std::string& line) {
    const auto w = Words(line);
    if (w.empty()) return;
    const std::string& step = w[0];
    auto arg = [&](size_t i) -> const std::string& {
        if (i >= w.size()) throw ScenarioError("missing value");
        return w[i];
    };
    auto rest = [&](size_t from) {
        std::string joined;
        for (size_t i = from; i < w.size(); ++i) joined += (i > from ? " " : "") + w[i];
        return joined;
    };
    Log("> " + line.substr(line.find_first_not_of(' ')));

    if (step == "bench") {
        BenchStep(line.substr(line.find("bench") + 5));
    } else if (step == "fault") {
        // fault box-to-pc|pc-to-box INDEX lose|corrupt XOR|delay MS
        if (!driver_) throw ScenarioError("fault comes after start");
        sim::Fault fault;
        if (arg(1) != "pc-to-box" && arg(1) != "box-to-pc")
            throw ScenarioError("the direction is box-to-pc or pc-to-box");
        fault.direction = arg(1) == "pc-to-box" ? sim::Direction::PcToBox : sim::Direction::BoxToPc;
        fault.index = static_cast<uint64_t>(Int(arg(2)));
        const std::string& kind = arg(3);
        if (kind == "lose") {
            fault.kind = sim::FaultKind::Lose;
        } else if (kind == "corrupt") {
            fault.kind = sim::FaultKind::Corrupt;
            fault.xorMask = static_cast<uint8_t>(Int(arg(4)));
        } else if (kind == "delay") {
            fault.kind = sim::FaultKind::Delay;
            fault.delayMs = Int(arg(4));
        } else {
            throw ScenarioError("fault is lose, corrupt XOR or delay MS");
        }
        driver_->AddFault(fault);
    } else if (step == "bench-file") {
        if (driver_) throw ScenarioError("bench-file comes before start");
        setup_ = sim::LoadBenchFile(Path(arg(1)));
    } else if (step == "args") {
        if (window_) throw ScenarioError("args come before start");
        process_->arguments.assign(w.begin() + 1, w.end());
    } else if (step == "operator") {
        if (window_) throw ScenarioError("operator comes before start");
        if (arg(1) == "careful")
            operatorKind_ = sim::BenchOperator::Kind::Careful;
        else if (arg(1) == "take-out-wire")
            operatorKind_ = sim::BenchOperator::Kind::TakeOutWireOnly;
        else if (arg(1) == "none")
            operatorKind_.reset();
        else
            throw ScenarioError("operator is careful, take-out-wire or none");
    } else if (step == "program-folder") {
        if (window_) throw ScenarioError("program-folder comes before start");
        process_->programFolder = Path(arg(1)) + "/";
    } else if (step == "start") {
        Start();
    } else if (step == "locale") {
        if (window_) throw ScenarioError("locale comes before start");
        QLocale::setDefault(QLocale(QString::fromStdString(arg(1))));
    } else if (step == "settings") {
        SettingsStep(w, line);
    } else if (step == "answer") {
        for (size_t i = 1; i < w.size(); ++i) boxes_->script.push_back(AnswerNamed(w[i]));
    } else if (step == "think") {
        thinkMs_ = static_cast<uint32_t>(Int(arg(1)));
    } else if (step == "click") {
        auto* button = qobject_cast<QAbstractButton*>(Control(arg(1)));
        if (!button) throw ScenarioError(arg(1) + " is not a button");
        if (!button->isEnabled()) Log("(" + arg(1) + " is disabled)");
        // A mouse's click goes to whatever lies on top at the button's middle.
        const QPoint middle = button->rect().center();
        if (button->isVisible() && !testing_support::OnTopAt(button, middle)) {
            const QWidget* over = testing_support::WidgetAt(button, middle);
            Log("(" + arg(1) + " is covered by " +
                (over ? over->objectName().toStdString() : std::string("nothing")) + ")");
        } else {
            button->click();
        }
    } else if (step == "check") {
        auto* box = qobject_cast<QCheckBox*>(Control(arg(1)));
        if (!box) throw ScenarioError(arg(1) + " is not a check box");
        if (arg(2) != "on" && arg(2) != "off") throw ScenarioError("check NAME on|off");
        box->setChecked(arg(2) == "on");
    } else if (step == "select") {
        auto* combo = qobject_cast<QComboBox*>(Control(arg(1)));
        if (!combo) throw ScenarioError(arg(1) + " is not a list");
        const std::string item = rest(2);
        const int index = item.size() > 1 && item[0] == '#'
                              ? Int(item.substr(1))
                              : combo->findText(QString::fromStdString(item));
        if (index < 0 || index >= combo->count()) throw ScenarioError("no item " + item);
        combo->setCurrentIndex(index);
        emit combo->activated(index); // as the operator's choice, which raises the handler
    } else if (step == "items") {
        auto* combo = qobject_cast<QComboBox*>(Control(arg(1)));
        if (!combo) throw ScenarioError(arg(1) + " is not a list");
        for (int i = 0; i < combo->count(); ++i)
            Log("item " + std::to_string(i) + " " + QuoteText(combo->itemText(i).toStdString()));
    } else if (step == "type") {
        QWidget* control = Control(arg(1));
        const QString text = QString::fromStdString(rest(2));
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setText(text);
        else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->isEditable())
            combo->setEditText(text);
        else
            throw ScenarioError(arg(1) + " is not an edit box");
    } else if (step == "set") {
        SetStep(w, rest(2));
    } else if (step == "track") {
        TrackStep(w);
    } else if (step == "mouse-move" ||
               (step == "mouse-down" && dynamic_cast<ImageControl*>(Control(arg(1))))) {
        // The mouse at (X, Y) of a control: the cursor goes there, then the move or the press.
        QWidget* widget = Control(arg(1));
        const QPoint local(Int(arg(2)), Int(arg(3)));
        const QPoint global = widget->mapToGlobal(local);
        cursor_->position = {global.x(), global.y()};
        if (step == "mouse-move") {
            QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &move);
        } else {
            QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &press);
            QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &release);
        }
    } else if (step == "when-report") {
        // when-report PREFIX STEP: STEP runs right after the next report line that starts so.
        if (w.size() < 3) throw ScenarioError("when-report PREFIX STEP");
        whenReport_.emplace_back(arg(1), rest(2));
    } else if (step == "when-tone") {
        // when-tone N STEP: STEP runs right after the Nth tone from now.
        if (w.size() < 3 || Int(arg(1)) < 1) throw ScenarioError("when-tone N STEP");
        whenTone_.emplace_back(std::to_string(Int(arg(1))), rest(2));
    } else if (step == "data-file") {
        // data-file NAME: an empty file where the program may want a folder.
        if (!dataRoot_) throw ScenarioError("data-file comes after start");
        QFile file(dataRoot_->filePath(QString::fromStdString(arg(1))));
        if (!file.open(QIODevice::WriteOnly)) throw ScenarioError("cannot make " + arg(1));
    } else if (step == "on-box") {
        if (w.size() < 2) throw ScenarioError("on-box STEP");
        onBox_.push_back(rest(1));
    } else if (step == "mouse-down") {
        auto* label = dynamic_cast<ColorLabel*>(Control(arg(1)));
        if (!label || !label->OnMouseDown) throw ScenarioError(arg(1) + " takes no mouse press");
        Qt::KeyboardModifiers modifiers;
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i] == "shift")
                modifiers |= Qt::ShiftModifier;
            else if (w[i] == "alt")
                modifiers |= Qt::AltModifier;
            else if (w[i] == "ctrl")
                modifiers |= Qt::ControlModifier;
            else
                throw ScenarioError("unknown key " + w[i]);
        }
        label->OnMouseDown(modifiers);
    } else if (step == "mouse-enter") {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(Control(arg(1)), &enter);
    } else if (step == "mouse-leave") {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(Control(arg(1)), &leave);
    } else if (step == "key" || step == "focus-out") {
        // A disabled control has no focus: it gets no keys and loses nothing.
        QWidget* widget = Control(arg(1));
        if (!widget->isEnabled())
            Log("(" + arg(1) + " is disabled)");
        else if (step == "key")
            PressKey(widget, arg(2));
        else
            LoseFocus(widget);
    } else if (step == "wait") {
        WaitMs(static_cast<uint64_t>(Int(arg(1))));
    } else if (step == "ticks") {
        Ticks(Int(arg(1)));
    } else if (step == "at") {
        if (w.size() < 3) throw ScenarioError("at N STEP");
        atPump_.emplace(pumpCalls_ + static_cast<uint64_t>(Int(arg(1))), rest(2));
    } else if (step == "save-image") {
        auto* image = dynamic_cast<ImageControl*>(Control(arg(1)));
        if (!image) throw ScenarioError(arg(1) + " is not an image");
        // Beside the run, not the scenario: CTest runs in the build folder, not the sources.
        if (!image->SavePng(arg(2))) throw ScenarioError("cannot write " + arg(2));
    } else if (step == "pixel") {
        auto* image = dynamic_cast<ImageControl*>(Control(arg(1)));
        if (!image) throw ScenarioError(arg(1) + " is not an image");
        const int x = Int(arg(2));
        const int y = Int(arg(3));
        if (!image->Picture().valid(x, y)) throw ScenarioError("the point is outside the picture");
        Log("pixel " + arg(1) + " " + arg(2) + "," + arg(3) + " = " +
            ColourText(platform::FromQColor(image->Picture().pixelColor(x, y))));
    } else if (step == "commands") {
        CommandsStep();
    } else if (step == "show") {
        for (size_t i = 1; i < w.size(); ++i) Log(Describe(w[i]));
    } else if (step == "watch") {
        for (size_t i = 1; i < w.size(); ++i) {
            std::string now = Describe(w[i]);
            Log("watch [tick " + std::to_string(MainTicks()) + "] " + now);
            watches_.emplace_back(w[i], std::move(now));
        }
    } else if (step == "unwatch") {
        if (w.size() == 1) watches_.clear();
        for (size_t i = 1; i < w.size(); ++i)
            std::erase_if(watches_, [&](const auto& watch) { return watch.first == w[i]; });
    } else if (step == "time") {
        Log("time " + std::to_string(clock_.NowMicros() / 1000) + " ms" +
            (window_ ? ", tick " + std::to_string(MainTicks()) : std::string()));
    } else if (step == "activate") {
        // The window becomes the program's active window again, as after a dialog closes.
        if (!window_) throw ScenarioError("the window is not started");
        window_->RunHandler([this] { window_->FormActivate(); });
    } else if (step == "dialog") {
        // dialog NAME STEP...: the step runs inside the next modal window of that name.
        if (w.size() < 3) throw ScenarioError("dialog NAME STEP");
        const size_t at = line.find(arg(1), line.find("dialog") + 6) + arg(1).size();
        dialogSteps_.emplace(arg(1), line.substr(line.find_first_not_of(' ', at)));
    } else if (step == "save-as") {
        if (arg(1) == "cancel")
            dialogs_->saveAnswers.emplace_back();
        else
            dialogs_->saveAnswers.emplace_back(
                Dialogs::SaveAnswer{SavedPath(arg(1)), w.size() > 2 ? arg(2) : std::string()});
    } else if (step == "font") {
        // font FAMILY PIXELS [bold] [italic] [underline] [strikeout] | font cancel
        if (arg(1) == "cancel") {
            dialogs_->fontAnswers.emplace_back();
        } else {
            QFont font(QString::fromStdString(arg(1)));
            font.setPixelSize(Int(arg(2)));
            for (size_t i = 3; i < w.size(); ++i) {
                if (w[i] == "bold")
                    font.setBold(true);
                else if (w[i] == "italic")
                    font.setItalic(true);
                else if (w[i] == "underline")
                    font.setUnderline(true);
                else if (w[i] == "strikeout")
                    font.setStrikeOut(true);
                else
                    throw ScenarioError("unknown font style " + w[i]);
            }
            dialogs_->fontAnswers.emplace_back(font);
        }
    } else if (step == "print-to") {
        if (arg(1) == "cancel")
            dialogs_->printAnswers.emplace_back();
        else
            dialogs_->printAnswers.emplace_back(SavedPath(arg(1)));
    } else if (step == "date") {
        // date YYYY-MM-DD HH:MM:SS: the wall clock the program sees from now on
        platform::CivilTime t;
        if (std::sscanf(arg(1).c_str(), "%d-%d-%d", &t.Year, &t.Month, &t.Day) != 3 ||
            std::sscanf(arg(2).c_str(), "%d:%d:%d", &t.Hour, &t.Minute, &t.Second) != 3)
            throw ScenarioError("date YYYY-MM-DD HH:MM:SS");
        clock_.SetLocalTime(t);
    } else if (step == "memo") {
        auto* memo = qobject_cast<QTextEdit*>(Control(arg(1)));
        if (!memo) throw ScenarioError(arg(1) + " is not a text box");
        const QStringList lines = memo->toPlainText().split('\n');
        for (const QString& text : lines) Log("memo " + QuoteText(text.toStdString()));
    } else if (step == "close") {
        Close();
    } else if (DocumentStep(w)) {
    } else {
        throw ScenarioError("unknown step \"" + step + "\"");
    }
    CheckWatches();
}

} // namespace scenario
