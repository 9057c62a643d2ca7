#include "tests/scenario/Harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

namespace scenario {

std::string Quote(const std::string& text) {
    std::string q = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\n': q += "\\n"; break;
        case '\t': q += "\\t"; break;
        case '\r': q += "\\r"; break;
        case '\\': q += "\\\\"; break;
        case '"': q += "\\\""; break;
        default:
            if (c < 0x20) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                q += hex;
            } else {
                q += static_cast<char>(c);
            }
        }
    }
    return q + "\"";
}

namespace {
std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value);
    return text;
}

platform::MsgResult AnswerNamed(const std::string& name) {
    static const std::map<std::string, platform::MsgResult> answers = {
        {"OK", platform::MsgResult::Ok},       {"Cancel", platform::MsgResult::Cancel},
        {"Abort", platform::MsgResult::Abort}, {"Retry", platform::MsgResult::Retry},
        {"Ignore", platform::MsgResult::Ignore}, {"Yes", platform::MsgResult::Yes},
        {"No", platform::MsgResult::No},
    };
    if (auto it = answers.find(name); it != answers.end()) return it->second;
    throw ScenarioError("unknown answer \"" + name + "\"");
}
} // namespace

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
public:
    explicit Boxes(Harness& h) : h_(h) {}
    platform::MsgResult Show(const platform::MessageBoxRequest& r) override {
        // An operator reads the box for a while; the window's timer goes on meanwhile.
        if (h_.thinkMs_ > 0) h_.WaitMs(h_.thinkMs_);
        auto answer = platform::DefaultAnswer(r);
        if (!script.empty()) {
            answer = script.front();
            script.pop_front();
        }
        h_.Log(std::string("box ") + platform::Name(r.Icon) + " " + platform::Name(r.Buttons) +
               (r.Caption.empty() ? "" : " caption=" + Quote(r.Caption)) + " " + Quote(r.Text) +
               " -> " + platform::Name(answer));
        return answer;
    }
    std::deque<platform::MsgResult> script;

private:
    Harness& h_;
};

class Harness::Tones final : public platform::Tones {
public:
    explicit Tones(Harness& h) : h_(h) {}
    void Beep(uint32_t frequencyHz, uint32_t ms) override {
        h_.Log("tone " + std::to_string(frequencyHz) + " Hz " + std::to_string(ms) + " ms");
        h_.clock_.Sleep(ms);
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
        h_.Log("start-program " + Quote(path) + " " + Quote(arguments));
        return true;
    }
    bool OpenLink(const std::string& url) override {
        h_.Log("open-link " + Quote(url));
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

private:
    Harness& h_;
    platform::CursorShape current_ = platform::CursorShape::Default;
};

Harness::Harness(std::ostream& transcript)
    : out_(transcript), pump_(std::make_unique<Pump>(*this)),
      boxes_(std::make_unique<Boxes>(*this)), tones_(std::make_unique<Tones>(*this)),
      process_(std::make_unique<Process>(*this)), cursor_(std::make_unique<Cursor>(*this)) {}

Harness::~Harness() { Close(); }

void Harness::Log(const std::string& line) { out_ << line << "\n"; }

std::string Harness::Path(const std::string& name) const {
    if (!name.empty() && name[0] == '/') return name;
    return baseFolder_ + "/" + name;
}

std::vector<std::string> Harness::Words(const std::string& line) const {
    // Words split by blanks; "..." keeps blanks and takes \n and \t escapes.
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size() || line[i] == '#') break;
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
    ++pumpCalls_;
    QCoreApplication::processEvents();
    timers_.FireDue();
    // Steps placed at this call run now, inside the window's own processing.
    while (!atPump_.empty() && atPump_.begin()->first <= pumpCalls_) {
        const std::string step = atPump_.begin()->second;
        atPump_.erase(atPump_.begin());
        RunStep(step);
    }
}

void Harness::WaitMs(uint64_t ms) {
    const uint64_t end = clock_.NowMicros() + ms * 1000;
    while (clock_.NowMicros() < end) {
        clock_.AdvanceTo(std::min(timers_.NextDueMicros(), end));
        ProcessMessages();
    }
}

void Harness::Ticks(int count) {
    for (int i = 0; i < count; ++i) {
        const uint64_t due = timers_.NextDueMicros();
        if (due == UINT64_MAX) throw ScenarioError("no timer is running");
        clock_.AdvanceTo(due);
        ProcessMessages();
    }
}

QWidget* Harness::Control(const std::string& name) {
    if (!window_) throw ScenarioError("the window is not started");
    auto* widget = window_->findChild<QWidget*>(QString::fromStdString(name));
    if (!widget) throw ScenarioError("no control named " + name);
    return widget;
}

void Harness::Start() {
    if (window_) throw ScenarioError("already started");
    driver_ = std::make_unique<sim::SimulatedFtdi>(clock_, setup_.bench, setup_.timing);
    sim::ApplyDeviceSettings(*driver_, setup_);
    if (process_->programFolder.empty()) process_->programFolder = baseFolder_ + "/";
    if (process_->dataRoot.empty()) process_->dataRoot = baseFolder_ + "/data";
    services_ = std::make_unique<platform::Services>(platform::Services{
        clock_, *driver_, *boxes_, *pump_, *cursor_, timers_, *tones_, *process_, devices_});
    window_ = std::make_unique<TMainFrm>(*services_);
    window_->OnReportLine = [this](const ReportLine& line) {
        Log("report " + Hex(line.Colour) + " " + std::to_string(line.Style) + " " +
            Quote(line.Text));
    };
    window_->OnStatusPanel = [this](int panel, const std::string& text) {
        Log("status " + std::to_string(panel) + " " + Quote(text));
    };
    window_->show();
    window_->FormActivate();
}

void Harness::Close() {
    if (!window_) return;
    window_->close();
    window_.reset();
    services_.reset();
    driver_.reset();
}

void Harness::RunScript(const std::string& text, const std::string& baseFolder) {
    baseFolder_ = baseFolder;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        try {
            RunStep(line);
        } catch (const std::exception& e) {
            throw ScenarioError("line " + std::to_string(number) + ": " + line + ": " + e.what());
        }
    }
}

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
        const std::string setting = line.substr(line.find("bench") + 5);
        if (!driver_) {
            sim::ApplyBenchLine(setup_, setting);
        } else {
            const bool wasAttached = driver_->Attached();
            sim::ApplyBenchLine(*driver_, setting);
            // Plugging or unplugging a USB device raises the system's device-change notice.
            if (driver_->Attached() != wasAttached) devices_.Notify();
        }
    } else if (step == "fault") {
        // fault box-to-pc|pc-to-box INDEX lose|corrupt XOR|delay MS
        if (!driver_) throw ScenarioError("fault comes after start");
        sim::Fault fault;
        fault.direction = arg(1) == "pc-to-box" ? sim::Direction::PcToBox : sim::Direction::BoxToPc;
        fault.index = std::stoull(arg(2));
        const std::string& kind = arg(3);
        if (kind == "lose") {
            fault.kind = sim::FaultKind::Lose;
        } else if (kind == "corrupt") {
            fault.kind = sim::FaultKind::Corrupt;
            fault.xorMask = static_cast<uint8_t>(std::stoul(arg(4), nullptr, 0));
        } else if (kind == "delay") {
            fault.kind = sim::FaultKind::Delay;
            fault.delayMs = std::stod(arg(4));
        } else {
            throw ScenarioError("fault is lose, corrupt XOR or delay MS");
        }
        driver_->AddFault(fault);
    } else if (step == "bench-file") {
        if (driver_) throw ScenarioError("bench-file comes before start");
        setup_ = sim::LoadBenchFile(Path(arg(1)));
    } else if (step == "args") {
        process_->arguments.assign(w.begin() + 1, w.end());
    } else if (step == "program-folder") {
        process_->programFolder = Path(arg(1)) + "/";
    } else if (step == "start") {
        Start();
    } else if (step == "answer") {
        for (size_t i = 1; i < w.size(); ++i) boxes_->script.push_back(AnswerNamed(w[i]));
    } else if (step == "think") {
        thinkMs_ = static_cast<uint32_t>(std::stoul(arg(1)));
    } else if (step == "click") {
        auto* button = qobject_cast<QAbstractButton*>(Control(arg(1)));
        if (!button) throw ScenarioError(arg(1) + " is not a button");
        if (!button->isEnabled()) Log("(" + arg(1) + " is disabled)");
        button->click();
    } else if (step == "check") {
        auto* box = qobject_cast<QCheckBox*>(Control(arg(1)));
        if (!box) throw ScenarioError(arg(1) + " is not a check box");
        box->setChecked(arg(2) == "on");
    } else if (step == "select") {
        auto* combo = qobject_cast<QComboBox*>(Control(arg(1)));
        if (!combo) throw ScenarioError(arg(1) + " is not a list");
        const std::string item = rest(2);
        const int index = item.size() > 1 && item[0] == '#'
                              ? std::stoi(item.substr(1))
                              : combo->findText(QString::fromStdString(item));
        if (index < 0 || index >= combo->count()) throw ScenarioError("no item " + item);
        combo->setCurrentIndex(index);
        emit combo->activated(index); // as the operator's choice, which raises the handler
    } else if (step == "type") {
        auto* edit = qobject_cast<QLineEdit*>(Control(arg(1)));
        if (!edit) throw ScenarioError(arg(1) + " is not an edit box");
        edit->setText(QString::fromStdString(rest(2)));
    } else if (step == "mouse-down") {
        auto* label = dynamic_cast<ColorLabel*>(Control(arg(1)));
        if (!label || !label->OnMouseDown) throw ScenarioError(arg(1) + " takes no mouse press");
        Qt::KeyboardModifiers modifiers;
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i] == "shift") modifiers |= Qt::ShiftModifier;
            else if (w[i] == "alt") modifiers |= Qt::AltModifier;
            else if (w[i] == "ctrl") modifiers |= Qt::ControlModifier;
            else throw ScenarioError("unknown key " + w[i]);
        }
        label->OnMouseDown(modifiers);
    } else if (step == "wait") {
        WaitMs(std::stoull(arg(1)));
    } else if (step == "ticks") {
        Ticks(std::stoi(arg(1)));
    } else if (step == "at") {
        atPump_.emplace(pumpCalls_ + std::stoull(arg(1)), rest(2));
    } else if (step == "save-image") {
        auto* image = dynamic_cast<ImageControl*>(Control(arg(1)));
        if (!image) throw ScenarioError(arg(1) + " is not an image");
        if (!image->SavePng(Path(arg(2))))
            throw ScenarioError("cannot write " + arg(2));
    } else if (step == "show") {
        if (!window_) throw ScenarioError("the window is not started");
        for (size_t i = 1; i < w.size(); ++i) {
            const std::string field = window_->FieldText(w[i]);
            if (!field.empty()) {
                Log("field " + w[i] + " = " + field);
                continue;
            }
            const std::string control = window_->ControlText(w[i]);
            if (control.empty()) throw ScenarioError("no field or control named " + w[i]);
            Log("control " + w[i] + " " + control);
        }
    } else if (step == "time") {
        Log("time " + std::to_string(clock_.NowMicros() / 1000) + " ms");
    } else if (step == "close") {
        Close();
    } else {
        throw ScenarioError("unknown step \"" + step + "\"");
    }
}

} // namespace scenario
