// The settings file seen from the window: names in other encodings kept through a load and a
// save, a list with a gap, indexes beyond their lists, and hostile files (binary, huge, long
// lines, huge numbers, thousands of list keys) that must leave a window with its defaults
// where a value is unusable.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/DataFolders.h"
#include "interface/Main.h"
#include "interface/Serial.h"
#include "interface/widgets/TrackBar.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/FileSystemCases.h"
#include "tests/support/LoopMount.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::string>;

// UTF-16 little-endian with its byte-order mark, as Windows editors save "Unicode".
std::string Utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

class SettingsFileTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    QTemporaryDir root;
    std::string path;
    std::unique_ptr<TMainFrm> frm;

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        p.process.dataRoot = root.path().toStdString();
        const auto folders = definitions::DataFoldersFor(p.process.dataRoot);
        std::filesystem::create_directories(folders.Data);
        path = folders.SettingsFile;
    }

    void Put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    // The window as the program makes it, and how long that took.
    double Start() {
        const auto begin = std::chrono::steady_clock::now();
        frm = std::make_unique<TMainFrm>(services);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
            .count();
    }
    void Close() {
        ASSERT_TRUE(frm->close());
        frm.reset();
    }

    // The defaults of a start without a settings file.
    void ExpectDefaults() const {
        EXPECT_TRUE(frm->CheckBoxAutomatic->isChecked());
        EXPECT_TRUE(frm->AdvSettingsGroupBox->isHidden());
        EXPECT_EQ(frm->CableLst->currentIndex(), -1);
        EXPECT_EQ(frm->TimeLst->currentIndex(), 0);
        EXPECT_EQ(frm->TimingSteps, -1);
        EXPECT_EQ(frm->ThresholdLst->currentIndex(), 2);
        EXPECT_EQ(frm->IsolationThreshold, 200000000);
        EXPECT_EQ(frm->HtVoltage, 800);
        EXPECT_TRUE(frm->RadioButtonSingle->isChecked());
        EXPECT_EQ(frm->RelaysRetryCount, 5);
        EXPECT_EQ(frm->RelaysABThreshold, 2);
        EXPECT_EQ(frm->RelaysMNThreshold, 10);
        EXPECT_EQ(frm->ContThreshold, 100);
        EXPECT_EQ(frm->RunsSinceSelfTest, 0);
        EXPECT_TRUE(p.boxes.History().empty());
    }
};

TEST_F(SettingsFileTest, NamesInOtherEncodingsSurviveALoadAndASave) {
    const struct {
        const char* what;
        std::string bytes;
    } files[] = {
        {"Windows-1252", "[Operators]\r\n0=J\xFCrgen Gro\xDF\r\n1=Zo\xEB\r\n"},
        {"UTF-16", Utf16le(u"[Operators]\n0=J\u00FCrgen Gro\u00DF\n1=Zo\u00EB")},
        {"UTF-8", "[Operators]\n0=J\xC3\xBCrgen Gro\xC3\x9F\n1=Zo\xC3\xAB\n"},
    };
    for (const auto& file : files) {
        Put(file.bytes);
        Start();
        EXPECT_EQ(frm->OperatorList, (Strings{"Jürgen Groß", "Zoë"})) << file.what;
        // The dialog offers them as they are.
        const auto* dialog = new TSerialFrm(*frm); // owned by the window, as the program does
        EXPECT_EQ(dialog->ComboBoxOperator->itemText(0), QString("Jürgen Groß")) << file.what;
        Close();
        EXPECT_NE(Get().find("0=Jürgen Groß\r\n1=Zoë\r\n"), std::string::npos) << file.what;
        Start();
        EXPECT_EQ(frm->OperatorList, (Strings{"Jürgen Groß", "Zoë"})) << file.what;
        frm.reset();
    }
}

// UTF-16 without its byte-order mark, as some editors save "Unicode".
std::string Utf16leNoMark(std::u16string_view text) {
    return Utf16le(text).substr(2);
}

TEST_F(SettingsFileTest, Utf16WithoutAMarkAndNamesFarFromLatin1) {
    // The lists first, in names that have no zero byte in UTF-16.
    Put(Utf16leNoMark(u"[Operators]\r\n0=Александра Константиновна Преображенская\r\n"
                      u"1=Ёлкин Пётр\r\n[Models]\r\n0=高压电缆组件第三型号\r\n"
                      u"[Settings]\r\nAutomatic=0\r\n[Service]\r\nCounter=12\r\n"));
    const Strings operators{"Александра Константиновна Преображенская", "Ёлкин Пётр"};
    Start();
    EXPECT_EQ(frm->OperatorList, operators);
    EXPECT_EQ(frm->ModelList, (Strings{"高压电缆组件第三型号"}));
    EXPECT_FALSE(frm->CheckBoxAutomatic->isChecked());
    EXPECT_EQ(frm->RunsSinceSelfTest, 12);
    Close();
    // Written back in UTF-8, and read the same.
    const std::string written = Get();
    EXPECT_NE(written.find("0=Александра Константиновна Преображенская\r\n1=Ёлкин Пётр\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("Counter=12\r\n"), std::string::npos);
    Start();
    EXPECT_EQ(frm->OperatorList, operators);
    EXPECT_EQ(frm->RunsSinceSelfTest, 12);
}

TEST_F(SettingsFileTest, AFileThatIsNoTextIsLeftAsItIs) {
    // UTF-32, which no editor of the bench PC should have written: zeros among its characters.
    std::string utf32;
    for (const char c : std::string_view("[Service]\r\nCounter=12\r\n[Operators]\r\n0=Ann\r\n"))
        utf32 += std::string(1, c) + std::string(3, '\0');
    Put(utf32);
    Start();
    ExpectDefaults();
    EXPECT_FALSE(frm->close());
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_EQ(p.boxes.History()[0].Request.Text,
              "Cannot write file \"" + path +
                  "\". It holds no text that could be read, so it is left as it is.");
    EXPECT_TRUE(frm->close());
    EXPECT_EQ(Get(), utf32);
}

TEST_F(SettingsFileTest, AFileOfCommentsAloneIsSavedWithItsComments) {
    // Prepared by the bench's administrator before the first start.
    const std::string comments = "; Calbrix on bench 3\r\n; the lists are kept by the program\r\n";
    Put(comments);
    Start();
    ExpectDefaults();
    frm->OperatorList.push_back("Ann"); // as the report information dialog adds a name
    frm->RunsSinceSelfTest = 4;
    Close();
    EXPECT_TRUE(p.boxes.History().empty());
    const std::string saved = Get();
    EXPECT_EQ(saved.rfind(comments, 0), 0u) << saved;
    Start();
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann"}));
    EXPECT_EQ(frm->RunsSinceSelfTest, 4);
}

TEST_F(SettingsFileTest, AListWithAGap) {
    // Keys 0, 1 and 3: the list ends at the gap, key 3 stays in the file and is read again
    // once a later closing has written key 2.
    Put("[Operators]\r\n0=Ann\r\n1=Bob\r\n3=Dan\r\n");
    Start();
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob"}));
    Close();
    EXPECT_NE(Get().find("3=Dan"), std::string::npos);
    Start();
    frm->OperatorList.push_back("Carl"); // as the report information dialog adds a name
    Close();
    Start();
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob", "Carl", "Dan"}));
}

TEST_F(SettingsFileTest, BlanksAroundAListTextAreNoPartOfIt) {
    // Hand-edited, or written by a version that kept what was typed: a text of blanks only is
    // empty and ends its list, and an entry and the same with blanks are one.
    Put("[Operators]\r\n0=\xC2\xA0"
        "Ann\xC2\xA0\r\n1=Bob\r\n2=\xE3\x80\x80\r\n3=Dan\r\n"
        "[Models]\r\n0=M-100\t\r\n1=  M-200\r\n");
    Start();
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob"}));
    EXPECT_EQ(frm->ModelList, (Strings{"M-100", "M-200"}));
    frm->ModelName = "M-100";
    const auto* dialog = new TSerialFrm(*frm);
    EXPECT_EQ(dialog->ComboBoxModel->currentIndex(), 0);
    Close();
    EXPECT_NE(Get().find("0=Ann\r\n1=Bob\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, IndexesBeyondTheirLists) {
    Put("[Settings]\nNodeRange=9\n[AdvancedSettings]\nIsoTime=7\nIsoThreshold=5\n");
    Start();
    EXPECT_EQ(frm->TimeLst->currentIndex(), -1);
    EXPECT_EQ(frm->TimingSteps, -1);
    EXPECT_EQ(frm->TimingShift, -1);
    EXPECT_EQ(frm->ThresholdLst->currentIndex(), -1);
    EXPECT_EQ(frm->IsolationThreshold, 200000000);
    EXPECT_EQ(frm->NodeRangeLst->currentIndex(), -1);
    Close();
    // Written as -1, which leaves the start-up states at the next start.
    Start();
    EXPECT_EQ(frm->TimeLst->currentIndex(), 0);
    EXPECT_EQ(frm->ThresholdLst->currentIndex(), 2);
}

TEST_F(SettingsFileTest, SaveWithoutAPathWritesNothing) {
    Put("[Service]\nCounter=3\n");
    Start();
    frm->RunsSinceSelfTest = 9;
    frm->SaveSettings("");
    EXPECT_EQ(Get(), "[Service]\nCounter=3\n");
}

TEST_F(SettingsFileTest, ASessionSurvivesAClosingInAFolderThatTakesNoNewFile) {
    // The operator's own settings file in a data folder that an administrator locked.
    Put("[Service]\r\nCounter=4\r\n[Operators]\r\n0=Ann\r\n");
    const auto folders = definitions::DataFoldersFor(p.process.dataRoot);
    ASSERT_TRUE(AsOrdinaryUser::Give(path));
    namespace fs = std::filesystem;
    fs::permissions(p.process.dataRoot, fs::perms(0755));
    fs::permissions(folders.Data, fs::perms(0555));
    {
        AsOrdinaryUser user;
        if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
        Start();
        EXPECT_EQ(frm->RunsSinceSelfTest, 4);
        frm->RunsSinceSelfTest = 5;
        frm->CheckBoxAutomatic->setChecked(false);
        frm->OperatorList.push_back("Bob"); // as the report information dialog adds a name
        Close();
        EXPECT_TRUE(p.boxes.History().empty());
        Start();
        EXPECT_EQ(frm->RunsSinceSelfTest, 5);
        EXPECT_FALSE(frm->CheckBoxAutomatic->isChecked());
        EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob"}));
        frm.reset();
    }
    fs::permissions(folders.Data, fs::perms(0755));
}

TEST_F(SettingsFileTest, AFullDiskLeavesTheFileAsItWasAndSaysSo) {
    // The data folder that an administrator locked, on a disk without fallocate that is full.
    LoopMount disk("ext2");
    if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
    p.process.dataRoot = disk.Folder();
    const auto folders = definitions::DataFoldersFor(p.process.dataRoot);
    std::filesystem::create_directories(folders.Data);
    path = folders.SettingsFile;
    const std::string old = "[Service]\r\nCounter=4\r\n[Operators]\r\n0=Ann\r\n";
    Put(old);
    ASSERT_TRUE(AsOrdinaryUser::Give(path));
    std::filesystem::permissions(folders.Data, std::filesystem::perms(0555));
    ASSERT_TRUE(disk.Fill());
    {
        AsOrdinaryUser user;
        if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
        Start();
        EXPECT_EQ(frm->RunsSinceSelfTest, 4);
        for (int n = 1; n <= 500; ++n) frm->OperatorList.push_back("Operator " + std::to_string(n));
        EXPECT_FALSE(frm->close());
        ASSERT_EQ(p.boxes.History().size(), 1u);
        EXPECT_EQ(p.boxes.History()[0].Request.Text,
                  "Cannot write file \"" + path + "\". No space left on device.");
        EXPECT_EQ(Get(), old);
        EXPECT_TRUE(frm->close());
        frm.reset();
    }
    EXPECT_EQ(Get(), old);
}

TEST_F(SettingsFileTest, AFifoInPlaceOfTheFileHoldsNothingUpAndIsKept) {
    FifoWatch fifo(path);
    ASSERT_TRUE(fifo.Made());
    const double ms = Start();
    ExpectDefaults(); // a file that cannot be read, as none: no message at the start
    RecordProperty("start_ms", std::to_string(ms));
    std::printf("window with a FIFO as settings file: %.1f ms\n", ms);
    // The closing cannot save over it: it says so, and the second closing closes.
    EXPECT_FALSE(frm->close());
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_EQ(p.boxes.History()[0].Request.Text,
              "Cannot read file \"" + path + "\". It is not a file.");
    EXPECT_TRUE(frm->close());
    EXPECT_EQ(fifo.Readers(), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

// --- hostile files ------------------------------------------------------------------------

// Deterministic bytes of every value.
std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<char>(seed >> 24);
    }
    return bytes;
}

TEST_F(SettingsFileTest, BinaryFile) {
    const std::string noise = Noise(1 << 20, 7);
    Put(noise);
    const double ms = Start();
    ExpectDefaults();
    EXPECT_TRUE(frm->OperatorList.empty());
    RecordProperty("start_ms", std::to_string(ms));
    // Nothing in it made sense, so the closing leaves it as it is and says so once.
    EXPECT_FALSE(frm->close());
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_TRUE(frm->close());
    frm.reset();
    EXPECT_EQ(Get(), noise);
    p.boxes.ClearHistory();
    Start();
    ExpectDefaults();
}

TEST_F(SettingsFileTest, FiftyMegabytes) {
    std::string bytes = "[Service]\r\nCounter=5\r\n[Operators]\r\n0=Ann\r\n[Junk]\r\n";
    const std::string line = "k=" + std::string(98, 'x') + "\r\n";
    while (bytes.size() < (size_t{50} << 20)) bytes += line;
    bytes += "[Settings]\r\nAutomatic=0\r\n";
    Put(bytes);
    const double ms = Start();
    EXPECT_EQ(frm->RunsSinceSelfTest, 5);
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann"}));
    EXPECT_FALSE(frm->CheckBoxAutomatic->isChecked());
    RecordProperty("start_ms", std::to_string(ms));
    Close();
    EXPECT_GT(Get().size(), size_t{50} << 20); // what it did not know is kept
}

TEST_F(SettingsFileTest, LinesOfAMillionCharacters) {
    const std::string million(1'000'000, 'A');
    Put("[Settings]\r\nTestFile=" + million + "\r\nAutomatic=1" + std::string(1'000'000, '0') +
        "\r\n[Service]\r\nCounter=1" + std::string(1'000'000, '0') + "\r\n[Operators]\r\n0=" +
        million + "\r\n1=Bob\r\n" + "[" + million + "]\r\n" + million + "=1\r\n");
    const double ms = Start();
    ExpectDefaults();
    ASSERT_EQ(frm->OperatorList.size(), 2u);
    EXPECT_EQ(frm->OperatorList[0], million);
    RecordProperty("start_ms", std::to_string(ms));
    const auto* dialog = new TSerialFrm(*frm);
    EXPECT_EQ(dialog->ComboBoxOperator->count(), 2);
}

TEST_F(SettingsFileTest, NumbersBeyondSixtyFourBits) {
    Put("[Settings]\nAutomatic=18446744073709551616\nTest1=99999999999999999999999\n"
        "NodeRange=-9223372036854775809\n"
        "[AdvancedSettings]\nIsoTime=0x10000000000000000\nIsoThreshold=4294967298\n"
        "IsoVoltage=-99999999999999999999\nMode=340282366920938463463374607431768211457\n"
        "RelaysRetryCount=9223372036854775808\nRelaysABThreshold=2147483648\n"
        "RelaysMNThreshold=-2147483649\nContThreshold=1e400\n"
        "[Service]\nCounter=18446744073709551617\n");
    Start();
    ExpectDefaults();
    for (QCheckBox* box : {frm->CheckBoxTOs, frm->CheckBoxCont, frm->CheckBoxIso})
        EXPECT_FALSE(box->isChecked());
}

TEST_F(SettingsFileTest, ThousandsOfListKeys) {
    std::string bytes;
    for (const char* section : {"[Operators]", "[Models]", "[SerialNumbers]"}) {
        bytes += std::string(section) + "\r\n";
        for (int n = 0; n < 20000; ++n)
            bytes += std::to_string(n) + "=" + section[1] + std::to_string(n) + "\r\n";
    }
    Put(bytes);
    const double ms = Start();
    ASSERT_EQ(frm->OperatorList.size(), 20000u);
    EXPECT_EQ(frm->SerialNumberList.back(), "S19999");
    RecordProperty("start_ms", std::to_string(ms));
    frm->OperatorName = "O19999";
    const auto* dialog = new TSerialFrm(*frm);
    EXPECT_EQ(dialog->ComboBoxOperator->currentIndex(), 19999);
    Close();
    Start();
    EXPECT_EQ(frm->ModelList.size(), 20000u);
}

} // namespace
