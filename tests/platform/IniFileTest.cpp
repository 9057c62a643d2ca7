// The INI layer of the settings file: the reading rules, the numbers, the encodings, what a
// write keeps and where it puts new keys, which files are left as they are, and saves that
// fail or are killed midway.

#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/FileSystemCases.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(IniDocumentTest, ReadingRules) {
    const auto doc = IniDocument::Parse("Orphan=before any section\n"
                                        "[Settings]\n"
                                        "TestFile = Cable X \n"
                                        "automatic=0\n"
                                        "AUTOMATIC=1\n"
                                        "; a comment=not a key\n"
                                        "just words\n"
                                        "Path=a=b\n"
                                        "Empty=\n"
                                        "  [ advancedsettings ]  \n"
                                        "IsoTime=3\n"
                                        "[SETTINGS]\n"
                                        "Mode=1\n"
                                        "TestFile=second section\n");
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Settings", "TestFile", "Cable X"},      // blanks around key and value dropped
        {"settings", "TESTFILE", "Cable X"},      // no case, neither section nor key
        {"Settings", "Automatic", "0"},           // the first of duplicate keys
        {"Settings", "Path", "a=b"},              // the first '=' splits
        {"Settings", "Empty", ""},                // present and empty
        {"Settings", "just words", std::nullopt}, // a line without '=' is no key
        {"AdvancedSettings", "IsoTime", "3"},     // blanks inside the brackets dropped
        {"Settings", "Mode", std::nullopt},       // a later section of the same name is unseen
        {"Settings", "Orphan", std::nullopt},     // keys before the first section are no one's
        {"Service", "Counter", std::nullopt},     // absent section
    };
    for (const auto& c : cases)
        EXPECT_EQ(doc.Find(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(IniDocumentTest, WholeNumbers) {
    const struct {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"12", 12},
        {" -1 ", -1},
        {"+7", 7},
        {"007", 7},
        {"0x1F", 31},
        {"0X7fffffff", INT32_MAX},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"0x80000000", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"18446744073709551617", std::nullopt}, // beyond 64 bits
        {"99999999999999999999999999999999999999999999", std::nullopt},
        {"0x10000000000000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"-0x5", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"1.0", std::nullopt},
        {"\xD9\xA1", std::nullopt}, // an Arabic-Indic digit
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInt32(c.text), c.value) << "\"" << c.text << "\"";
}

// Text as UTF-16 with its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(IniDocumentTest, Encodings) {
    const struct {
        const char* what;
        std::string bytes;
        std::string operatorName; // UTF-8
    } cases[] = {
        {"UTF-8", "[Operators]\n0=J\xC3\xBCrgen\n", "J\xC3\xBCrgen"},
        {"UTF-8 with BOM and CR LF", "\xEF\xBB\xBF[Operators]\r\n0=J\xC3\xBCrgen\r\n",
         "J\xC3\xBCrgen"},
        {"Windows-1252", "[Operators]\r\n0=J\xFCrgen \x80\x9F\r\n",
         "J\xC3\xBCrgen \xE2\x82\xAC\xC5\xB8"},
        {"UTF-16LE with BOM", Utf16(u"[Operators]\r\n0=J\u00FC\U0001D106", false),
         "J\xC3\xBC\xF0\x9D\x84\x86"}, // with a surrogate pair
        {"UTF-16BE with BOM", Utf16(u"[Operators]\n0=J\u00FC", true), "J\xC3\xBC"},
    };
    for (const auto& c : cases) {
        const auto doc = IniDocument::Parse(c.bytes);
        EXPECT_EQ(doc.Find("Operators", "0"), c.operatorName) << c.what;
        // Written back as UTF-8, CR LF, no byte-order mark: the name reads the same again.
        const std::string written = doc.Serialize();
        EXPECT_EQ(written, "[Operators]\r\n0=" + c.operatorName + "\r\n") << c.what;
        EXPECT_EQ(IniDocument::Parse(written).Find("Operators", "0"), c.operatorName) << c.what;
    }
    // Broken UTF-16: a lone surrogate and an odd last byte become replacement characters.
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE"
                                     "a\0\x00\xD8"
                                     "b\0c",
                                     9)),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(IniDocumentTest, EachLineHasItsOwnEncoding) {
    // Files the program wrote in UTF-8, touched by a Windows editor in one place.
    const struct {
        const char* what;
        std::string bytes;
        std::string first, second; // operators 0 and 1, UTF-8
        std::string comment;       // the comment line as written back
    } cases[] = {
        {"a Windows-1252 comment", "[Operators]\r\n; caf\xE9\r\n0=J\xC3\xBCrgen Gro\xC3\x9F\r\n",
         "J\xC3\xBCrgen Gro\xC3\x9F", "", "; caf\xC3\xA9"},
        {"names of both kinds", "[Operators]\n0=J\xFCrgen \x80\n1=Zo\xC3\xAB\n; ok\n",
         "J\xC3\xBCrgen \xE2\x82\xAC", "Zo\xC3\xAB", "; ok"},
        // One stray byte makes its whole line Windows-1252, the UTF-8 in it included.
        {"a line of both", "[Operators]\n0=Gro\xC3\x9F \xE9\n1=Gro\xC3\x9F\n;\n",
         "Gro\xC3\x83\xC5\xB8 \xC3\xA9", "Gro\xC3\x9F", ";"},
        // A section name in Windows-1252 is another section, and the next one is found.
        {"a Windows-1252 section line", "[Oper\xE4tors]\n[Operators]\n0=Ann\n;\xA0\n", "Ann", "",
         ";\xC2\xA0"},
    };
    for (const auto& c : cases) {
        auto doc = IniDocument::Parse(c.bytes);
        EXPECT_EQ(doc.Find("Operators", "0"), c.first) << c.what;
        EXPECT_EQ(doc.Find("Operators", "1").value_or(""), c.second) << c.what;
        doc.Write("Service", "Counter", "1");
        const std::string written = doc.Serialize();
        EXPECT_NE(written.find("\r\n" + c.comment + "\r\n"), std::string::npos) << c.what;
        EXPECT_TRUE(IsUtf8(written)) << c.what;
        // Read back, every line is UTF-8 and means the same.
        const auto again = IniDocument::Parse(written);
        EXPECT_EQ(again.Find("Operators", "0"), c.first) << c.what;
        EXPECT_EQ(again.Serialize(), written) << c.what;
    }
}

TEST(IniDocumentTest, CrLfAndCrAloneEndALine) {
    // The same settings with each editor's line ends, and a last line without one.
    const std::string lines[] = {
        "[Settings]", "TestFile=Cable X", "Automatic=0", "[Operators]", "0=Ann", "1=Bob"};
    for (const char* end : {"\r\n", "\n", "\r", "\n\r"}) {
        std::string bytes;
        for (const auto& line : lines) bytes += line + end;
        bytes.resize(bytes.size() - std::strlen(end));
        auto doc = IniDocument::Parse(bytes);
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        EXPECT_EQ(doc.Find("Settings", "TestFile"), "Cable X");
        EXPECT_EQ(doc.Find("Settings", "Automatic"), "0");
        EXPECT_EQ(doc.Find("Operators", "1"), "Bob");
        // A save rewrites the keys in place and adds no second copy of any section.
        doc.Write("Settings", "TestFile", "Cable X");
        doc.Write("Settings", "Automatic", "1");
        doc.Write("Operators", "0", "Ann");
        doc.Write("Operators", "1", "Bob");
        const std::string blank = std::string(end) == "\n\r" ? "\r\n" : ""; // LF, then CR
        std::string expected;
        for (const auto& line : lines)
            expected += (line == "Automatic=0" ? "Automatic=1" : line) + "\r\n" + blank;
        if (!blank.empty()) expected.resize(expected.size() - 2);
        EXPECT_EQ(doc.Serialize(), expected);
    }
}

// Text as UTF-16 without a byte-order mark.
std::string Utf16NoMark(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(IniDocumentTest, Utf16WithoutAByteOrderMark) {
    // Names of a workshop far from Latin-1: whole lines without a zero byte.
    const std::u16string cyrillic = u"[Operators]\r\n0=Александра Константиновна Преображенская\r\n"
                                    u"1=Екатерина Владимировна Ростропович\r\n"
                                    u"[Service]\r\nCounter=12\r\n";
    // 上, 不 and 一 hold a CR, an LF or a zero byte of their own.
    const std::u16string cjk = u"; 第三车间质量检验部的操作员名单，请勿删除或更改本文件的内容\r\n"
                               u"[Operators]\r\n0=欧阳上官不一\r\n[Service]\r\nCounter=12\r\n";
    const struct {
        const char* what;
        std::string bytes;
        std::optional<std::string> operatorName;
        std::optional<std::string> counter = std::nullopt;
    } cases[] = {
        {"little-endian", Utf16NoMark(u"[Operators]\r\n0=J\u00FCrgen\r\n", false), "J\xC3\xBCrgen"},
        {"big-endian", Utf16NoMark(u"[Operators]\r\n0=J\u00FCrgen\r\n", true), "J\xC3\xBCrgen"},
        // A character beyond Latin-1 in the first line does not hide the zeros of the others.
        {"with a euro sign", Utf16NoMark(u"[Operators]\n0=\u20AC\n", false), "\xE2\x82\xAC"},
        {"Cyrillic names first", Utf16NoMark(cyrillic, false),
         "Александра Константиновна Преображенская", "12"},
        {"Cyrillic names first, big-endian", Utf16NoMark(cyrillic, true),
         "Александра Константиновна Преображенская", "12"},
        {"CJK first", Utf16NoMark(cjk, false), "欧阳上官不一", "12"},
        {"CJK first, big-endian", Utf16NoMark(cjk, true), "欧阳上官不一", "12"},
        // 8-bit text with a few stray zeros is no UTF-16; the zeros read as blanks.
        {"stray zeros", "[Operators]\n0=A\0n\0n\n"s, "A n n"},
        // Nor is one that a failed write lengthened with zeros, from an even or an odd end.
        {"a tail of zeros", "[Operators]\r\n0=Ann\r\n" + std::string(4096, '\0'), "Ann"},
        {"a tail of zeros after an odd end", "[Operators]\r\n0=Anna\r\n" + std::string(4095, '\0'),
         "Anna"},
    };
    for (const auto& c : cases) {
        const auto doc = IniDocument::Parse(c.bytes);
        EXPECT_EQ(doc.Find("Operators", "0"), c.operatorName) << c.what;
        if (c.counter) {
            EXPECT_EQ(doc.Find("Service", "Counter"), c.counter) << c.what;
        }
        const std::string written = doc.Serialize();
        EXPECT_EQ(written.find('\0'), std::string::npos) << c.what;
        EXPECT_EQ(IniDocument::Parse(written).Find("Operators", "0"), c.operatorName) << c.what;
    }
    EXPECT_EQ(IniDocument::Parse(Utf16NoMark(u"[Operators]\r\n0=Ann\r\n", false)).Serialize(),
              "[Operators]\r\n0=Ann\r\n");
}

TEST(IniDocumentTest, WritesKeepWhatTheyDoNotTouch) {
    auto doc = IniDocument::Parse("; written by hand\n"
                                  "[settings]\n"
                                  "testfile = Old name   ; kept spelling\n"
                                  "Unknown=  kept  as is  \n"
                                  "Automatic=1\n"
                                  "Automatic=7\n"
                                  "\n"
                                  "[AdvancedSettings]\n"
                                  "RelaysRetryCount=9\n"
                                  "\n"
                                  "\n"
                                  "[Operators]\n"
                                  "0=Ann\n"
                                  "1=Bob\n"
                                  "3=Dan\n"
                                  "[Tail]\n"
                                  "x=1");
    doc.Write("Settings", "TestFile", "Cable X");
    doc.Write("Settings", "Test1", "1");
    doc.Write("Settings", "Automatic", "0");
    doc.Write("advancedsettings", "IsoTime", "2");
    doc.Write("Service", "Counter", "31");
    doc.Write("Operators", "0", "Ann");
    doc.Write("Operators", "1", "Bob");
    doc.Write("Settings", "Test2", "0");
    doc.Write("Models", "0", "M1");
    doc.Write("Service", "Counter", "32"); // a key written twice keeps its first place
    EXPECT_EQ(doc.Serialize(), "; written by hand\r\n"
                               "[settings]\r\n"
                               "testfile=Cable X\r\n"
                               "Unknown=  kept  as is  \r\n"
                               "Automatic=0\r\n"
                               "Automatic=7\r\n"
                               "Test1=1\r\n"
                               "Test2=0\r\n"
                               "\r\n"
                               "[AdvancedSettings]\r\n"
                               "RelaysRetryCount=9\r\n"
                               "IsoTime=2\r\n"
                               "\r\n"
                               "\r\n"
                               "[Operators]\r\n"
                               "0=Ann\r\n"
                               "1=Bob\r\n"
                               "3=Dan\r\n"
                               "[Tail]\r\n"
                               "x=1\r\n"
                               "\r\n"
                               "[Service]\r\n"
                               "Counter=32\r\n"
                               "\r\n"
                               "[Models]\r\n"
                               "0=M1\r\n");
}

TEST(IniDocumentTest, AValueIsOneLine) {
    // A name pasted with line breaks must not open a section or add a key.
    IniDocument doc;
    doc.Write("Operators", "0", std::string_view("Ann\r\n[Service]\nCounter=0\0x", 26));
    const std::string written = doc.Serialize();
    const auto again = IniDocument::Parse(written);
    EXPECT_FALSE(again.Find("Service", "Counter"));
    EXPECT_EQ(again.Find("Operators", "0"), "Ann  [Service] Counter=0 x");
}

TEST(IniDocumentTest, SerializingAgainChangesNothing) {
    const std::string texts[] = {
        "",
        "\n\n\n",
        "no section at all\r\nx=1",
        "[A]\rB=1\r\r\n[A]\nb=2\n[]\n=\n[ ]x=y\n",
        std::string("[S]\n\0k=\xFF\xFE\n", 10),
        "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=v",
    };
    for (const auto& text : texts) {
        const std::string once = IniDocument::Parse(text).Serialize();
        EXPECT_EQ(IniDocument::Parse(once).Serialize(), once);
    }
}

// A fresh folder for each test, removed afterwards.
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/ini-test-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
        path = folder + "/Calbrix.ini";
    }
    void TearDown() override {
        InjectWriteFault(std::nullopt);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    void Put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Every file in the folder but the settings file: leftovers of a save.
    int Leftovers() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path() != path) ++count;
        return count;
    }
    std::string ErrorOfSave(IniFile& file) const {
        try {
            file.UpdateFile();
        } catch (const IniFileError& e) {
            return e.what();
        }
        return "(saved)";
    }

    std::string folder;
    std::string path;
};

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsMadeAtTheFirstSave) {
    IniFile file(path);
    EXPECT_EQ(file.ReadString("Settings", "TestFile", ""), "");
    EXPECT_EQ(file.ReadInteger("Service", "Counter", -1), -1);
    file.WriteInteger("Service", "Counter", 3);
    file.WriteString("Operators", "0", "Ren\xC3\xA9");
    file.UpdateFile();
    EXPECT_EQ(Get(), "[Service]\r\nCounter=3\r\n\r\n[Operators]\r\n0=Ren\xC3\xA9\r\n");
    EXPECT_EQ(Leftovers(), 0);
    EXPECT_EQ(IniFile(path).ReadString("Operators", "0", ""), "Ren\xC3\xA9");
}

TEST_F(IniFileTest, IntegersFallBackWhereTheyAreNotWholeNumbers) {
    Put("[S]\nA=12\nB=-1\nC=twelve\nD=0x10\nE=\nF=99999999999\n");
    const IniFile file(path);
    const struct {
        const char* key;
        int32_t value;
    } cases[] = {{"A", 12}, {"B", -1}, {"C", -1}, {"D", 16}, {"E", -1}, {"F", -1}, {"G", -1}};
    for (const auto& c : cases) EXPECT_EQ(file.ReadInteger("S", c.key, -1), c.value) << c.key;
    EXPECT_EQ(file.ReadString("S", "G", "none"), "none");
}

TEST_F(IniFileTest, ASaveKeepsTheRightsOfTheFile) {
    Put("[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    IniFile file(path);
    file.WriteInteger("S", "k", 2);
    file.UpdateFile();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Get(), "[S]\r\nk=2\r\n");
}

TEST_F(IniFileTest, ReadOnlyFileIsRefusedAndKept) {
    Put("[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    IniFile file(path);
    file.WriteInteger("S", "k", 2);
    EXPECT_EQ(ErrorOfSave(file), "Cannot write file \"" + path + "\". The file is read-only.");
    EXPECT_EQ(Get(), "[S]\nk=1\n");
    EXPECT_EQ(Leftovers(), 0);
    // Writable again, the same object saves.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    file.UpdateFile();
    EXPECT_EQ(Get(), "[S]\r\nk=2\r\n");
}

TEST_F(IniFileTest, AFailureMidwayLeavesTheOldFileWhole) {
    const std::string old = "[Operators]\n0=Ann\n";
    Put(old);
    IniFile file(path);
    for (int i = 1; i < 2000; ++i) file.WriteString("Operators", std::to_string(i), "Operator");
    InjectWriteFault(
        WriteFault{.afterBytes = 1000, .kind = WriteFault::Kind::Fail, .error = ENOSPC});
    EXPECT_EQ(ErrorOfSave(file), "Cannot write file \"" + path + "\". No space left on device.");
    EXPECT_EQ(Get(), old);
    EXPECT_EQ(Leftovers(), 0);
    // The fault fired once: the next save goes through.
    file.UpdateFile();
    EXPECT_EQ(IniFile(path).ReadString("Operators", "1999", ""), "Operator");
}

TEST_F(IniFileTest, AKillMidwayLeavesTheOldFileWhole) {
    const std::string old = "[Operators]\r\n0=Ann\r\n";
    Put(old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IniFile file(path);
        for (int i = 1; i < 20000; ++i) file.WriteString("Operators", std::to_string(i), "x");
        InjectWriteFault(WriteFault{.afterBytes = 70000, .kind = WriteFault::Kind::Kill});
        file.UpdateFile();
        ::_exit(0); // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(Get(), old);
    // Its new file had no name yet, and went with the process (where a file system makes no
    // such files, the next save removes a named one: IniFileSystemsTest).
    EXPECT_EQ(Leftovers(), 0);
    IniFile file(path);
    file.WriteString("Operators", "1", "Bob");
    file.UpdateFile();
    EXPECT_EQ(Get(), "[Operators]\r\n0=Ann\r\n1=Bob\r\n");
    EXPECT_EQ(Leftovers(), 0);
}

TEST_F(IniFileTest, OnlyAFileThatIsNoTextIsLeftAsItIs) {
    // UTF-32: its zeros stand among the characters of every line.
    std::string utf32;
    for (const char c : std::string_view("[Service]\r\nCounter=12\r\n")) utf32 += c + "\0\0\0"s;
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) >> 3);
    const std::string written = "[Service]\r\nCounter=3\r\n\r\n[AdvancedSettings]\r\nIsoTime=1\r\n";
    const struct {
        const char* what;
        std::string bytes;
        std::optional<std::string> saved; // the whole text after the save; none: left alone
    } cases[] = {
        {"UTF-32", utf32, std::nullopt},
        {"noise", noise, std::nullopt},
        {"another program's binary file",
         "\x7F"
         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0"s,
         std::nullopt},
        {"a text with a NUL among its characters", "; bench 3\r\n; a\0b\r\n"s, std::nullopt},
        // Texts without a key yet: their lines are kept, the settings go after them.
        {"comments alone", "; Calbrix settings of bench 3\r\n; prepared by the quality office\r\n",
         "; Calbrix settings of bench 3\r\n; prepared by the quality office\r\n\r\n" + written},
        {"an empty section", "; lists below\r\n[Operators]\r\n",
         "; lists below\r\n[Operators]\r\n\r\n" + written},
        {"another program's settings", "[Window]\r\nLeft=10\r\n",
         "[Window]\r\nLeft=10\r\n\r\n" + written},
        {"words", "Bench 3, keep this file\n", "Bench 3, keep this file\r\n\r\n" + written},
        {"blank", " \r\n\r\n\t\r\n", " \r\n\r\n\t\r\n" + written},
        {"a tail of zeros after its comments", "; bench 3\r\n" + std::string(64, '\0'),
         "; bench 3\r\n" + std::string(64, ' ') + "\r\n" + written},
        {"a tuning value put by hand", "[AdvancedSettings]\r\nContThreshold=90\r\n",
         "[AdvancedSettings]\r\nContThreshold=90\r\nIsoTime=1\r\n\r\n[Service]\r\nCounter=3\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.bytes);
        IniFile file(path);
        file.WriteInteger("Service", "Counter", 3);
        file.WriteInteger("AdvancedSettings", "IsoTime", 1);
        if (c.saved) {
            EXPECT_EQ(ErrorOfSave(file), "(saved)");
            EXPECT_EQ(Get(), *c.saved);
        } else {
            EXPECT_EQ(ErrorOfSave(file), "Cannot write file \"" + path +
                                             "\". It holds no text that could be read, so it is "
                                             "left as it is.");
            EXPECT_EQ(Get(), c.bytes);
        }
    }
}

TEST_F(IniFileTest, WhatIsNoFileIsNeitherReadNorReplaced) {
    fs::create_directory(path);
    try {
        IniFile file(path);
        ADD_FAILURE() << "a folder read as a settings file";
    } catch (const IniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + path + "\". It is not a file.");
    }
    EXPECT_THROW(ReplaceFileContents(path, "x"), FileWriteError);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(IniFileTest, AFifoIsNeitherWaitedOnNorReplaced) {
    testing_support::FifoWatch fifo(path);
    ASSERT_TRUE(fifo.Made());
    try {
        IniFile file(path);
        ADD_FAILURE() << "a FIFO read as a settings file";
    } catch (const IniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + path + "\". It is not a file.");
    }
    EXPECT_THROW(ReplaceFileContents(path, "x"), FileWriteError);
    EXPECT_EQ(fifo.Readers(), 0); // never opened: a start would have waited there
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// --- permissions, tried as an ordinary user ------------------------------------------------

struct Owner {
    uid_t uid;
    ino_t inode;
};
Owner OwnerOf(const std::string& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return {st.st_uid, st.st_ino};
}

TEST_F(IniFileTest, AWritableFileInAFolderThatTakesNoNewFileIsWrittenInPlace) {
    Put("[S]\nk=a value longer than the one that replaces it\n; kept\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(testing_support::AsOrdinaryUser::Give(path));
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0); // nobody may add a file to it
    const ino_t inode = OwnerOf(path).inode;
    {
        testing_support::AsOrdinaryUser user;
        if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
        IniFile file(path);
        file.WriteInteger("S", "k", 2);
        file.WriteString("Operators", "0", "Ann");
        EXPECT_EQ(ErrorOfSave(file), "(saved)");
    }
    EXPECT_EQ(Get(), "[S]\r\nk=2\r\n; kept\r\n\r\n[Operators]\r\n0=Ann\r\n");
    EXPECT_EQ(OwnerOf(path).inode, inode);
    EXPECT_EQ(Leftovers(), 0);
}

TEST_F(IniFileTest, AFailureInPlace) {
    // A longer text takes its room first: where it finds none, the file is as it was. A failure
    // once the old text is being overwritten may leave it incomplete, and says so.
    const struct {
        const char* what;
        std::string old;
        int error;
        const char* message;
        size_t afterBytes = 100;
    } cases[] = {
        {"the room for a longer text", "[Operators]\n0=Ann\n", ENOSPC, "No space left on device."},
        {"overwriting", "[Operators]\n0=Ann\n1=" + std::string(5000, 'x') + "\n", EIO,
         "Input/output error. The file was being written in place and may be incomplete."},
        // A quota, or a file system that copies what is written over, refusing the first byte:
        // the file is as it was, and nothing says otherwise.
        {"before the first byte overwritten",
         "[Operators]\n0=Ann\n1=" + std::string(5000, 'x') + "\n", EDQUOT, "Disk quota exceeded.",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        Put(c.old);
        ASSERT_TRUE(testing_support::AsOrdinaryUser::Give(path));
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0); // nobody may add a file to it
        testing_support::AsOrdinaryUser user;
        if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
        IniFile file(path);
        for (int i = 1; i < 200; ++i) file.WriteString("Operators", std::to_string(i), "Operator");
        InjectWriteFault(WriteFault{
            .afterBytes = c.afterBytes, .kind = WriteFault::Kind::Fail, .error = c.error});
        EXPECT_EQ(ErrorOfSave(file), "Cannot write file \"" + path + "\". " + c.message);
        if (c.error != EIO) {
            EXPECT_EQ(Get(), c.old);
        }
        // The next save puts it right.
        file.UpdateFile();
        EXPECT_EQ(IniFile(path).ReadString("Operators", "199", ""), "Operator");
        EXPECT_EQ(Leftovers(), 0);
    }
}

TEST_F(IniFileTest, AFileWithASecondLinkIsWrittenInPlace) {
    // Both names show the new text: a rename would leave the old one under the other name.
    Put("[Service]\r\nCounter=1\r\n");
    const std::string other = folder + "/bench-3.ini";
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    const ino_t inode = OwnerOf(path).inode;
    IniFile file(path, IniFile::ForSave{});
    file.WriteInteger("Service", "Counter", 2);
    EXPECT_EQ(ErrorOfSave(file), "(saved)");
    EXPECT_EQ(Get(), "[Service]\r\nCounter=2\r\n");
    EXPECT_EQ(IniFile(other).ReadInteger("Service", "Counter", -1), 2);
    EXPECT_EQ(OwnerOf(path).inode, inode);
    EXPECT_EQ(OwnerOf(other).inode, inode);
    EXPECT_EQ(Leftovers(), 1); // the other name, and nothing else
}

TEST_F(IniFileTest, AFileWhoseNameLeavesNoRoomForTheNewFilesIsWrittenInPlace) {
    // The new file's hidden name is longer than the file's: where it would pass the longest
    // name the system takes, an existing file is written over in place instead.
    for (const size_t length : {size_t{230}, size_t{240}, size_t{255}}) {
        SCOPED_TRACE(length);
        const std::string named = folder + "/" + std::string(length - 4, 'r') + ".rtf";
        std::ofstream(named, std::ios::binary) << "old report";
        EXPECT_NO_THROW(ReplaceFileContents(named, "new report"));
        std::ifstream in(named, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new report");
        EXPECT_EQ(Leftovers(), 1) << "nothing beside the report";
        fs::remove(named);
    }
}

TEST_F(IniFileTest, AnotherOwnersFileIsReplacedOnlyWhereItsOwnerStays) {
    if (!testing_support::AsOrdinaryUser::Root())
        GTEST_SKIP() << "only root can give a file to another owner";
    // Root's file in the ordinary user's folder: the user could replace it by a rename.
    const struct {
        mode_t mode;
        const char* error; // nullptr: saved
    } cases[] = {
        {0644, "The file is read-only"},
        {0666, nullptr}, // writable for all, and written in place: root stays the owner
    };
    ASSERT_TRUE(testing_support::AsOrdinaryUser::Give(folder));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Put("[Service]\nCounter=1\n");
        ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        const ino_t inode = OwnerOf(path).inode;
        {
            testing_support::AsOrdinaryUser user;
            if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
            IniFile file(path);
            file.WriteInteger("Service", "Counter", 2);
            EXPECT_EQ(ErrorOfSave(file),
                      c.error ? "Cannot write file \"" + path + "\". " + c.error + "." : "(saved)");
        }
        EXPECT_EQ(Get(), c.error ? "[Service]\nCounter=1\n" : "[Service]\r\nCounter=2\r\n");
        EXPECT_EQ(OwnerOf(path).uid, 0u);
        EXPECT_EQ(OwnerOf(path).inode, inode);
        EXPECT_EQ(Leftovers(), 0);
        ASSERT_EQ(::unlink(path.c_str()), 0);
    }
}

TEST_F(IniFileTest, RootsSaveLeavesTheFileToItsOwner) {
    if (!testing_support::AsOrdinaryUser::Root()) GTEST_SKIP() << "a save by root";
    Put("[Service]\nCounter=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(testing_support::AsOrdinaryUser::Give(path));
    IniFile file(path);
    file.WriteInteger("Service", "Counter", 2);
    file.UpdateFile();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, testing_support::AsOrdinaryUser::Uid);
    EXPECT_EQ(st.st_gid, testing_support::AsOrdinaryUser::Gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Get(), "[Service]\r\nCounter=2\r\n");
    // Still the user's: the user can save it again.
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    testing_support::AsOrdinaryUser user;
    if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
    file.WriteInteger("Service", "Counter", 3);
    EXPECT_EQ(ErrorOfSave(file), "(saved)");
}

TEST_F(IniFileTest, HugeFileIsNotRead) {
    // Sparse: 65 MB that take no room on the disk.
    { std::ofstream out(path, std::ios::binary); }
    fs::resize_file(path, (uint64_t{65} << 20));
    EXPECT_THROW(IniFile file(path), IniFileError);
}

TEST_F(IniFileTest, ALinkIsFollowed) {
    const std::string real = folder + "/real.ini";
    std::ofstream(real) << "[S]\nk=1\n";
    fs::create_symlink(real, path);
    IniFile file(path);
    EXPECT_EQ(file.ReadInteger("S", "k", -1), 1);
    file.WriteInteger("S", "k", 2);
    file.UpdateFile();
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(IniFile(real).ReadInteger("S", "k", -1), 2);
}

TEST_F(IniFileTest, AFolderThatCannotTakeTheNewFile) {
    // Without a folder to write into, nothing is written and the error names the file.
    IniFile file(folder + "/missing/Calbrix.ini");
    file.WriteInteger("S", "k", 1);
    EXPECT_EQ(ErrorOfSave(file), "Cannot write file \"" + folder +
                                     "/missing/Calbrix.ini\". No such file or directory.");
}

} // namespace
} // namespace platform
