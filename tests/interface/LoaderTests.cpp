// Choosing a test in the main window: what a load does to the wiring table, the reference
// pattern, the test boxes, the voltage, the node-range list and the test list, on its good
// paths and on a faulty or vanished file.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "definitions/DataFolders.h"
#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/TrackBar.h"
#include "results/DiagramGeometry.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/FileSystemCases.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using platform::TColor;

namespace {

constexpr TColor Face = 0xF0F0F0; // the button face as drawn
const char* const Conflict = "Problem in the test definition\nPlease check this ''.TXT'' file";

struct File {
    const char* name; // without ".txt"
    std::string bytes;
};

// A window whose program folder holds a Tests folder with the files a test writes before
// it starts the window (the list of tests is made when the window is created).
class LoaderTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    QTemporaryDir folder;
    std::unique_ptr<TMainFrm> window;
    TMainFrm* frm = nullptr;

    // Box, its checked state and the start caption each time a box's state changed, as its
    // click handler left them.
    struct Toggle {
        std::string box;
        bool checked;
        int selected;
        std::string startCaption;
    };
    std::vector<Toggle> toggles;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir("Tests"));
        p.process.programFolder = folder.path().toStdString() + "/";
        p.process.dataRoot = folder.path().toStdString();
    }

    void Write(const File& file) {
        QFile out(TestsPath(file.name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.bytes.data(), static_cast<qint64>(file.bytes.size()));
    }

    QString TestsPath(const std::string& name) const {
        return folder.path() + "/Tests/" + QString::fromStdString(name) + ".txt";
    }

    void Start(const std::vector<File>& files = {}) {
        for (const File& file : files) Write(file);
        window = std::make_unique<TMainFrm>(services);
        frm = window.get();
        for (QCheckBox* box : Boxes())
            QObject::connect(box, &QCheckBox::toggled, frm, [this, box](bool checked) {
                toggles.push_back({box->objectName().toStdString(), checked, frm->SelectedTestCount,
                                   frm->StartBtn->text().toStdString()});
            });
    }

    std::vector<QCheckBox*> Boxes() const {
        return {frm->CheckBoxRelays, frm->CheckBoxCont, frm->CheckBoxTOs, frm->CheckBoxIso};
    }

    // The operator picks the test from the list: its change handler runs.
    void Pick(const std::string& name) {
        const int index = frm->CableLst->findText(QString::fromStdString(name));
        ASSERT_GE(index, 0) << name;
        frm->CableLst->setCurrentIndex(index);
        emit frm->CableLst->activated(index);
    }

    // Ticked boxes as "Relays Cont TOs Iso" bits, e.g. "0111"; enabled must match.
    std::string Ticked() const {
        std::string bits;
        for (QCheckBox* box : Boxes()) {
            bits += box->isChecked() ? '1' : '0';
            EXPECT_EQ(box->isEnabled(), box->isChecked()) << box->objectName().toStdString();
        }
        return bits;
    }
    std::string Available() const {
        return {frm->RelaysAvailable ? '1' : '0', frm->ContinuityAvailable ? '1' : '0',
                frm->TOsAvailable ? '1' : '0', frm->IsolationAvailable ? '1' : '0'};
    }
    std::string RunFlags() const {
        return {frm->RunRelays ? '1' : '0', frm->RunContinuity ? '1' : '0', frm->RunTOs ? '1' : '0',
                frm->RunIsolation ? '1' : '0'};
    }

    int UsedNodes() const {
        int used = 0;
        for (int node = 1; node <= 192; ++node)
            used += frm->Wiring[static_cast<size_t>(node)] != -1;
        return used;
    }
    int ColouredNodes() const {
        int coloured = 0;
        for (int node = 1; node <= 192; ++node)
            coloured += frm->NodeColours[static_cast<size_t>(node)] != 0;
        return coloured;
    }
    // Pixels of Image1 that are not the button face.
    int DrawnPixels() const {
        const QImage& picture = frm->Image1->Picture();
        int drawn = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                drawn += platform::FromQColor(picture.pixelColor(x, y)) != Face;
        return drawn;
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& shown : p.boxes.History()) texts.push_back(shown.Request.Text);
        return texts;
    }
};

TEST_F(LoaderTest, EmptyNameClearsTheTestAndReadsNoFile) {
    // A file named ".txt" is what an empty name would read: it must not be read.
    Start({{"", "F\n@500V\nA1 B1\n"}, {"Brevant unit 48", "@600V\nA1 B1\nA2 T B2\n"}});
    frm->SocketLimit = 96;
    frm->BoxNodeCount = 24;
    Pick("Brevant unit 48");
    Pick("Calbrix box self-test"); // leaves "Plugs" on the take-outs box
    ASSERT_EQ(frm->CheckBoxTOs->text(), "Plugs");
    ASSERT_EQ(UsedNodes(), 48);
    ASSERT_GT(DrawnPixels(), 0);
    frm->TrackBarHT->SetSelEnd(60);
    frm->TrackBarHT->SetPosition(60);
    p.boxes.ClearHistory();

    frm->LoadTestDefinition("", true);

    EXPECT_TRUE(p.boxes.History().empty()); // no reversal notice: no file was read
    EXPECT_EQ(UsedNodes(), 0);
    EXPECT_EQ(ColouredNodes(), 192); // every pin drawn, in the button face
    EXPECT_EQ(DrawnPixels(), 0);
    EXPECT_EQ(frm->CheckBoxTOs->text(), "Plugs");
    EXPECT_EQ(frm->HtVoltage, 800);
    EXPECT_EQ(frm->TrackBarHT->Position(), 80);
    EXPECT_EQ(frm->TrackBarHT->SelEnd(), 80);
    EXPECT_EQ(frm->EditHT->text(), "800");
    EXPECT_EQ(Ticked(), "0000");
    EXPECT_EQ(Available(), "0000");
    EXPECT_EQ(RunFlags(), "0000");
    EXPECT_EQ(frm->StartBtn->text(), " Start test  ");
    EXPECT_EQ(frm->MeterChannels, 10);
    EXPECT_EQ(frm->APlugMirrored, 1);
    EXPECT_EQ(frm->BPlugMirrored, 0);
    EXPECT_TRUE(frm->NodeRangeLst->isHidden());
    EXPECT_EQ(frm->LabelTests->text(), "------------------- Tests to perform -------------------");
    EXPECT_TRUE(frm->CableLst->isEnabled());
}

TEST_F(LoaderTest, LineEndsAndAMissingLastEndReadAlike) {
    // The last line carries the limit, so a last line that is not read shows as 800 V.
    const std::vector<File> files = {
        {"Cable lf", "A1 B2\nA3 T B3\nA5 A7\n@500V"},
        {"Cable crlf", "A1 B2\r\nA3 T B3\r\nA5 A7\r\n@500V\r\n"},
        {"Cable cr", "A1 B2\rA3 T B3\rA5 A7\r@500V\r"},
        {"Cable lf ended", "A1 B2\nA3 T B3\nA5 A7\n@500V\n"},
    };
    Start(files);
    Pick("Cable lf");
    const auto wiring = frm->Wiring;
    const QImage pattern = frm->Image1->Picture().copy();
    EXPECT_EQ(wiring[1], 98);
    EXPECT_EQ(wiring[3], 10099);
    EXPECT_EQ(wiring[5], 7);
    EXPECT_EQ(frm->HtVoltage, 500);
    EXPECT_EQ(Ticked(), "0111");

    for (const File& file : files) {
        SCOPED_TRACE(file.name);
        Pick("Calbrix box self-test"); // something else in between
        Pick(file.name);
        EXPECT_EQ(frm->Wiring, wiring);
        EXPECT_EQ(frm->HtVoltage, 500);
        EXPECT_EQ(frm->TrackBarHT->SelEnd(), 50);
        EXPECT_EQ(Ticked(), "0111");
        EXPECT_TRUE(frm->Image1->Picture() == pattern);
    }
}

TEST_F(LoaderTest, NameWordsSetTheBoxesTheMeterAndTheNodeRangeList) {
    const char* const DefaultHeading = "------------------- Tests to perform -------------------";
    const char* const RangeHeading = "------- Node range -------  --- Tests to perform ---";
    struct Row {
        File file;
        const char* ticked; // Relays, Continuity, T/Os, Isolation
        int channels;
        bool list;     // NodeRangeLst shown
        int listItems; // its items then (kept from before when the name gives no size)
    };
    // The list is made holding the first node of each window of 24, none of them chosen.
    const QStringList madeWith = {"1", "25", "49", "73", "97", "121", "145", "169", "193"};
    // In this order: the rows without a size see the items the row before left.
    const Row rows[] = {
        {{"Cable empty", ""}, "0001", 10, false, 9},
        {{"Cable pairs and marks", "A1 B1\nA2 T B2\n"}, "0111", 10, false, 9},
        {{"Cable pairs", "A1 B1\n"}, "0101", 10, false, 9},
        {{"Cable marks only", "A1 T 0\n"}, "0011", 10, false, 9},
        {{"Connecting box empty", ""}, "0001", 10, false, 9},
        {{"Connecting box pairs and marks", "A1 B1\nA2 T B2\n"}, "0101", 10, false, 9},
        {{"Tolvex   2ch unit", ""}, "1001", 2, false, 9},
        {{"Tolvex   4ch unit", "A1 B1\nA2 T B2\n"}, "0000", 4, false, 9},
        {{"Tolvex   2ch and tolvex 10ch", ""}, "1001", 2, false, 9},
        {{"Tolvex 10ch", ""}, "1001", 10, false, 9},
        {{"Tolvex 2ch one space", ""}, "0000", 10, false, 9},
        {{"Zelph Pro meter", ""}, "1001", 10, false, 9},
        {{"Brevant without a size", ""}, "1001", 10, true, 9},
        {{"BREVANT 48", "A1 0\n"}, "1001", 10, true, 84},
        {{"Brevant tolvex   4ch", ""}, "1001", 4, true, 84},
        {{"Brevant 24 and 192", ""}, "1001", 10, true, 78},
        {{"Brevant cable 48", "A1 B1\n"}, "0101", 10, false, 78},
        {{"Tolvex   2ch cable", ""}, "0001", 10, false, 78},
    };
    std::vector<File> files;
    for (const Row& row : rows) files.push_back(row.file);
    Start(files);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.name);
        const std::string before = Ticked();
        toggles.clear();
        Pick(row.file.name);
        EXPECT_EQ(Ticked(), row.ticked);
        // A box runs its handler only when its state changes.
        size_t changed = 0;
        for (size_t i = 0; i < 4; ++i) changed += before[i] != row.ticked[i];
        EXPECT_EQ(toggles.size(), changed);
        EXPECT_EQ(Available(), row.ticked);
        EXPECT_EQ(RunFlags(), row.ticked);
        const int count = static_cast<int>(std::count(row.ticked, row.ticked + 4, '1'));
        EXPECT_EQ(frm->SelectedTestCount, count);
        EXPECT_EQ(frm->StartBtn->text(), count < 2 ? " Start test  " : " Start tests");
        EXPECT_EQ(frm->MeterChannels, row.channels);
        EXPECT_EQ(!frm->NodeRangeLst->isHidden(), row.list);
        EXPECT_EQ(frm->NodeRangeLst->count(), row.listItems);
        if (row.listItems == madeWith.size()) {
            QStringList items;
            for (int i = 0; i < frm->NodeRangeLst->count(); ++i)
                items << frm->NodeRangeLst->itemText(i);
            EXPECT_EQ(items, madeWith);
            EXPECT_EQ(frm->NodeRangeLst->currentIndex(), -1);
        } else {
            EXPECT_EQ(frm->NodeRangeLst->currentIndex(), 0);
        }
        EXPECT_EQ(frm->LabelTests->text(), row.list ? RangeHeading : DefaultHeading);
        EXPECT_EQ(frm->CheckBoxTOs->text(), "T/Os");
        EXPECT_TRUE(p.boxes.History().empty());
        if (row.file.bytes.empty()) {
            EXPECT_EQ(UsedNodes(), 0);
            EXPECT_EQ(DrawnPixels(), 0);
        }
    }
}

TEST_F(LoaderTest, ConflictingLineClearsTheWindowInOrderAndKeepsWhatTheNameAllowed) {
    // Before the faulty line: a limit and a reversed plug A. After it: what is never read.
    Start({{"Cable pairs and marks", "A1 B1\nA2 T B2\n"},
           {"Cable conflict", "A1 B1\nA2 T B2\n@450V\nF\nA1 B3\n@700V\nL\n"}});
    Pick("Cable pairs and marks");
    ASSERT_EQ(Ticked(), "0111");
    ASSERT_GT(DrawnPixels(), 0);
    toggles.clear();

    // What the operator has in front of him while the message is up.
    bool listEnabledDuringBox = true;
    int usedDuringBox = -1, colouredDuringBox = -1, drawnDuringBox = -1;
    p.boxes.OnShow = [&](const platform::MessageBoxRequest&) {
        listEnabledDuringBox = frm->CableLst->isEnabled();
        usedDuringBox = UsedNodes();
        colouredDuringBox = ColouredNodes();
        drawnDuringBox = DrawnPixels();
    };
    Pick("Cable conflict");

    ASSERT_EQ(p.boxes.History().size(), 1u); // and no reversal notice
    const auto& box = p.boxes.History()[0].Request;
    EXPECT_EQ(box.Text, Conflict);
    EXPECT_EQ(box.Caption, "Calbrix");
    EXPECT_EQ(box.Icon, platform::MsgIcon::Information);
    EXPECT_EQ(box.Buttons, platform::MsgButtons::Ok);
    EXPECT_FALSE(listEnabledDuringBox);
    EXPECT_EQ(usedDuringBox, 0);
    EXPECT_EQ(colouredDuringBox, 0);
    EXPECT_EQ(drawnDuringBox, 0);

    // Only the boxes that change, in the order Relays, Cont, TOs, Iso; the run flags are
    // already cleared, so the first handler brings the start caption down to one test.
    ASSERT_EQ(toggles.size(), 3u);
    const char* const order[] = {"CheckBoxCont", "CheckBoxTOs", "CheckBoxIso"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(toggles[i].box, order[i]);
        EXPECT_FALSE(toggles[i].checked);
        EXPECT_EQ(toggles[i].selected, 0);
        EXPECT_EQ(toggles[i].startCaption, " Start test  ");
    }
    EXPECT_EQ(Ticked(), "0000");
    EXPECT_EQ(RunFlags(), "0000");
    EXPECT_EQ(Available(), "0111"); // the previous test's, untouched
    EXPECT_EQ(frm->HtVoltage, 450);
    EXPECT_EQ(frm->APlugMirrored, 0);
    EXPECT_EQ(frm->BPlugMirrored, 0);
    EXPECT_EQ(frm->TrackBarHT->SelEnd(), 80); // no track bar update
    EXPECT_TRUE(frm->CableLst->isEnabled());
    EXPECT_EQ(frm->focusWidget(), frm->CableLst);
}

TEST_F(LoaderTest, FileThatCannotBeReadShowsTheFileErrorAndClearsTheWindow) {
    // All were offered when the list was made; then one went, one became a folder, and a FIFO
    // took the place of the last, which must not hold the window up.
    Start({{"Cable pairs and marks", "A1 B1\nA2 T B2\n@500V\n"},
           {"Cable gone", "A1 B1\n"},
           {"Cable now a folder", "A1 B1\n"},
           {"Cable now a FIFO", "A1 B1\n"}});
    ASSERT_TRUE(QFile::remove(TestsPath("Cable gone")));
    ASSERT_TRUE(QFile::remove(TestsPath("Cable now a folder")));
    ASSERT_TRUE(QDir().mkdir(TestsPath("Cable now a folder")));
    ASSERT_TRUE(QFile::remove(TestsPath("Cable now a FIFO")));
    FifoWatch fifo(TestsPath("Cable now a FIFO").toStdString());
    ASSERT_TRUE(fifo.Made());
    frm->SocketLimit = 96;
    frm->BoxNodeCount = 24;

    for (const char* name : {"Cable gone", "Cable now a folder", "Cable now a FIFO"}) {
        SCOPED_TRACE(name);
        Pick("Calbrix box self-test");
        Pick("Cable pairs and marks");
        ASSERT_EQ(Ticked(), "0111");
        toggles.clear();
        p.boxes.ClearHistory();
        bool listEnabledDuringBox = true;
        int drawnDuringBox = -1;
        p.boxes.OnShow = [&](const platform::MessageBoxRequest&) {
            listEnabledDuringBox = frm->CableLst->isEnabled();
            drawnDuringBox = DrawnPixels();
        };

        Pick(name);
        p.boxes.OnShow = nullptr;

        ASSERT_EQ(p.boxes.History().size(), 1u);
        const auto& box = p.boxes.History()[0].Request;
        EXPECT_NE(box.Text.find(std::string(name) + ".txt"), std::string::npos) << box.Text;
        EXPECT_EQ(box.Caption, "Calbrix");
        EXPECT_EQ(box.Icon, platform::MsgIcon::Error);
        EXPECT_EQ(box.Buttons, platform::MsgButtons::Ok);
        // The window is cleared before the operator reads the message.
        EXPECT_FALSE(listEnabledDuringBox);
        EXPECT_EQ(drawnDuringBox, 0);
        EXPECT_EQ(UsedNodes(), 0);
        EXPECT_EQ(ColouredNodes(), 0);
        ASSERT_EQ(toggles.size(), 3u);
        EXPECT_EQ(toggles[0].box, "CheckBoxCont");
        EXPECT_EQ(toggles[1].box, "CheckBoxTOs");
        EXPECT_EQ(toggles[2].box, "CheckBoxIso");
        EXPECT_EQ(Ticked(), "0000");
        EXPECT_EQ(RunFlags(), "0000");
        EXPECT_EQ(frm->StartBtn->text(), " Start test  ");
        EXPECT_EQ(frm->CheckBoxTOs->text(), "T/Os"); // the steps before the reading were done
        EXPECT_EQ(frm->HtVoltage, 800);
        EXPECT_TRUE(frm->CableLst->isEnabled());
        EXPECT_EQ(frm->focusWidget(), frm->CableLst);
    }

    // The list is usable again.
    Pick("Cable pairs and marks");
    EXPECT_EQ(Ticked(), "0111");
    EXPECT_EQ(frm->HtVoltage, 500);
    EXPECT_EQ(fifo.Readers(), 0);
}

TEST_F(LoaderTest, AFifoNamedByTheSettingsHoldsNothingUpAtTheStart) {
    FifoWatch fifo(TestsPath("Cable on a FIFO").toStdString());
    ASSERT_TRUE(fifo.Made());
    const auto folders = definitions::DataFoldersFor(p.process.dataRoot);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folders.Data)));
    QFile settings(QString::fromStdString(folders.SettingsFile));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Settings]\r\nTestFile=Cable on a FIFO\r\n");
    settings.close();

    const auto begin = std::chrono::steady_clock::now();
    Start();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    RecordProperty("start_ms", std::to_string(ms));
    std::printf("window with a FIFO as the stored test: %.1f ms\n", ms);
    EXPECT_EQ(frm->CableLst->currentText(), "Cable on a FIFO");
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Cannot read file \"" +
                                                    TestsPath("Cable on a FIFO").toStdString() +
                                                    "\". It is not a file."}));
    EXPECT_EQ(UsedNodes(), 0);
    EXPECT_TRUE(frm->CableLst->isEnabled());
    EXPECT_EQ(fifo.Readers(), 0);
}

TEST_F(LoaderTest, ChoosingTheSameTestAgainReadsItsFileAgain) {
    Start({{"Cable edited", "A1 B1\n"}});
    Pick("Cable edited");
    EXPECT_EQ(frm->Wiring[1], 97);
    Write({"Cable edited", "A1 B2\n@600V\n"});
    Pick("Cable edited");
    EXPECT_EQ(frm->Wiring[1], 98);
    EXPECT_EQ(frm->Wiring[97], -1);
    EXPECT_EQ(frm->HtVoltage, 600);
}

TEST_F(LoaderTest, PatternShowsEachNetInTheColourOfItsLowestNode) {
    using namespace results::diagram;
    Start({{"Cable nets",
            "A1 B1\nA3 B5\nA2 T 0\nA10 0\nB20 B30\nA40 T B40\nA81 A82\nA60 A60\nB73 A74\n"}});
    Pick("Cable nets");
    const auto& wire = frm->WireColours;
    const struct {
        int node;
        TColor colour;
        const char* what;
    } rows[] = {
        {1, wire[1], "A1 of A1-B1"},
        {97, wire[1], "B1 of A1-B1"},
        {3, wire[3], "A3 of A3-B5"},
        {101, wire[3], "B5 of A3-B5: the colour of A3"},
        {2, wire[2], "a take-out without partner"},
        {10, platform::clGray, "used alone"},
        {116, wire[116], "B20 of B20-B30"},
        {126, wire[116], "B30 of B20-B30"},
        {40, wire[40], "A40 of a take-out pair"},
        {136, wire[40], "B40 of a take-out pair"},
        {81, wire[81], "A81 of A81-A82"},
        {82, wire[81], "A82 of A81-A82"},
        {60, wire[60], "its own partner"},
        {74, wire[74], "A74 of B73 A74"},
        {169, wire[74], "B73 of B73 A74"},
        {4, platform::clBtnFace, "not used"},
        {192, platform::clBtnFace, "not used"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(frm->NodeColours[static_cast<size_t>(row.node)], row.colour) << row.what;

    // What is recorded is what was drawn: the middle of every pin's stub.
    auto& canvas = frm->Image1->GetCanvas();
    for (int node = 1; node <= 192; ++node) {
        const PlugPin pin = *PinOfNode(node);
        const PinLayout layout = LayoutOfPin(pin.plug, pin.pin);
        const int x = (layout.stubFrom + layout.stubTo) / 2;
        EXPECT_EQ(canvas.Pixel(x, PinRow(pin.pin)),
                  platform::ResolveColor(frm->NodeColours[static_cast<size_t>(node)]))
            << "node " << node;
    }
    // The wires, once each, in the colour of their lower node: A1-B1 runs straight along row 1.
    EXPECT_EQ(canvas.Pixel(140, PinRow(1)), wire[1]);
    EXPECT_EQ(canvas.Pixel(140, PinRow(40)), wire[40]);
    EXPECT_EQ(canvas.Pixel(140, PinRow(2)), Face); // no wire for a take-out without partner
    // The dots of the take-outs reach above their stubs; other pins have none.
    EXPECT_EQ(canvas.Pixel(36, PinRow(2) - 1), wire[2]);
    EXPECT_EQ(canvas.Pixel(36, PinRow(40) - 1), wire[40]);
    EXPECT_EQ(canvas.Pixel(243, PinRow(40) - 1), wire[40]);
    EXPECT_EQ(canvas.Pixel(36, PinRow(1) - 1), Face);
    EXPECT_EQ(canvas.Pixel(243, PinRow(1) - 1), Face);
}

TEST_F(LoaderTest, ListStaysDisabledWhileLoadingAndTakesTheFocusWhenAsked) {
    Start({{"Cable plug a reversed", "F\nA1 B1\n"}});
    std::vector<bool> atPumps;
    p.events.EveryCall([&] { atPumps.push_back(frm->CableLst->isEnabled()); });
    bool enabledDuringNotice = true;
    p.boxes.OnShow = [&](const platform::MessageBoxRequest&) {
        enabledDuringNotice = frm->CableLst->isEnabled();
    };

    frm->PowerBtn->setFocus();
    ASSERT_EQ(frm->focusWidget(), frm->PowerBtn);
    frm->LoadTestDefinition("Cable plug a reversed", false);
    EXPECT_FALSE(enabledDuringNotice);
    // After the pins, after the wires, and at the end with the list given back.
    EXPECT_EQ(atPumps, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(frm->focusWidget(), frm->PowerBtn);

    frm->LoadTestDefinition("Cable plug a reversed", true);
    EXPECT_EQ(frm->focusWidget(), frm->CableLst);
}

} // namespace
