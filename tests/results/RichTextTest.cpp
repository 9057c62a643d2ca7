// The saved report's file forms: our RTF writer, the plain text, the rule that picks between
// them and the writing of the file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <string>

#include "results/RichText.h"
#include "tests/support/FileSystemCases.h"

using namespace results;

namespace {

RichRun Piece(std::string text, platform::TColor colour, uint32_t style, std::string font = "",
              double points = 0) {
    return {std::move(text), colour, style, std::move(font), points};
}

RichDocument OneLine(const std::string& text, platform::TColor colour = platform::clBlack,
                     uint32_t style = 0) {
    RichDocument d;
    d.FontName = "Tahoma";
    d.PointSize = 8;
    d.Lines = {{Piece(text, colour, style)}};
    return d;
}

// The body of a one-line document: what follows the \pard line.
std::string BodyOf(const std::string& rtf) {
    const auto at = rtf.find("\\pard\n");
    return at == std::string::npos ? std::string() : rtf.substr(at + 6);
}

std::string Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "(unreadable)";
    return file.readAll().toStdString();
}

} // namespace

TEST(RichText, TextIsEscapedIntoSevenBitRtf) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"plain", "plain"},
        {"12 k\u03A9", "12 k\\u937?"}, // the ohm sign
        {"> 32 G\u03A9", "> 32 G\\u937?"},
        {"caf\u00E9", "caf\\u233?"},           // Latin-1 range too
        {"\u20AC", "\\u8364?"},                // euro sign
        {"\uFB01", "\\u-1279?"},               // above 0x7FFF: signed 16-bit
        {"\U0001F600", "\\u-10179?\\u-8704?"}, // outside the BMP: a surrogate pair
        {"{x} \\ y", "\\{x\\} \\\\ y"},        // group and escape characters
        {"1-24 :\tOK", "1-24 :\\tab OK"},      // a tab stop
        {"a\rb\x01"
         "c",
         "abc"}, // stray control characters dropped
    };
    for (const auto& c : cases) {
        const std::string body = BodyOf(WriteRtf(OneLine(c.text)));
        EXPECT_EQ(body, std::string("\\plain\\f0\\fs16\\cf1 ") + c.written + "\n}\n") << c.text;
        for (const char ch : WriteRtf(OneLine(c.text)))
            EXPECT_TRUE(static_cast<unsigned char>(ch) < 0x80) << c.text;
    }
}

TEST(RichText, StylesColoursAndFontsAreTablesAndControlWords) {
    RichDocument d;
    d.FontName = "Tahoma";
    d.PointSize = 8.5;
    d.Lines = {
        {Piece("Cable 12", platform::clBlack, 5)},
        {Piece("3 errors", platform::clRed, 1)},
        {Piece("italic", platform::clGreen, 2),
         Piece(" and struck", platform::clRed, 8, "Courier", 10)},
        {},
        {Piece("all", 0x0080FF, 15)},
    };
    const std::string rtf = WriteRtf(d);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi", 0), 0u);
    EXPECT_NE(
        rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 Tahoma;}{\\f1\\fnil\\fcharset0 Courier;}}"),
        std::string::npos);
    // Colours in the order of first use, each once; entry 0 is the reader's own.
    EXPECT_NE(rtf.find("{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;"
                       "\\red0\\green128\\blue0;\\red255\\green128\\blue0;}"),
              std::string::npos);
    EXPECT_EQ(BodyOf(rtf), "\\plain\\f0\\fs17\\cf1\\b\\ul Cable 12\\par\n"
                           "\\plain\\f0\\fs17\\cf2\\b 3 errors\\par\n"
                           "\\plain\\f0\\fs17\\cf3\\i italic"
                           "\\plain\\f1\\fs20\\cf2\\strike  and struck\\par\n"
                           "\\par\n"
                           "\\plain\\f0\\fs17\\cf4\\b\\i\\ul\\strike all\n}\n");
}

TEST(RichText, PlainTextIsUtf8OneLineEach) {
    RichDocument d;
    d.Lines = {
        {Piece("Date :  2020-06-15", 0, 0)}, {}, {Piece("12 k\u03A9", 0, 1), Piece(" more", 0, 0)}};
    EXPECT_EQ(WritePlainText(d), "Date :  2020-06-15\n\n12 k\u03A9 more\n");
    EXPECT_EQ(WritePlainText(RichDocument{}), "");
}

TEST(RichText, RichTextWhenTheWholeNameHoldsRtf) {
    const struct {
        const char* path;
        bool rich;
    } cases[] = {
        {"/data/report.rtf", true},        {"/data/report.RTF", true}, {"/data/report.txt", false},
        {"/data/Rtf/report.txt", true},    // the folder's name holds the letters
        {"/data/smartfolder/a.txt", true}, // so does any part of it
        {"/data/r t f.txt", false},        {"report", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsRichTextName(c.path), c.rich) << c.path;
}

TEST(RichText, AFileIsWrittenWholeOrAnErrorNamesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("report.txt");
    WriteReportFile(path.toStdString(), "first\n");
    WriteReportFile(path.toStdString(), "second\n");
    EXPECT_EQ(Read(path), "second\n");

    const std::string unwritable[] = {
        dir.path().toStdString(),                         // a folder
        dir.filePath("missing/report.txt").toStdString(), // a folder that does not exist
        "",
    };
    for (const std::string& name : unwritable) {
        try {
            WriteReportFile(name, "x");
            ADD_FAILURE() << "no error for \"" << name << "\"";
        } catch (const ReportFileError& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + name + "\""), std::string::npos)
                << e.what();
        }
    }
}

TEST(RichText, AnErrorSaysWhetherTheFileWasThere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string readOnly = dir.filePath("signed.rtf").toStdString();
    WriteReportFile(readOnly, "signed\n");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::string missing = dir.filePath("missing/report.rtf").toStdString();
    const struct {
        std::string name;
        std::string error;
    } cases[] = {
        {missing, "Cannot create file \"" + missing + "\". No such file or directory."},
        {readOnly, "Cannot write file \"" + readOnly + "\". The file is read-only."},
        {dir.path().toStdString(),
         "Cannot write file \"" + dir.path().toStdString() + "\". It is not a file."},
    };
    for (const auto& c : cases) {
        try {
            WriteReportFile(c.name, "x");
            ADD_FAILURE() << "no error for \"" << c.name << "\"";
        } catch (const ReportFileError& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
    EXPECT_EQ(Read(QString::fromStdString(readOnly)), "signed\n");
}

TEST(RichText, AReportWrittenOverKeepsItsRightsAclAndAttributes) {
    using testing_support::Acl;
    using testing_support::Attribute;
    using testing_support::SetAttribute;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("report.rtf").toStdString();
    WriteReportFile(path, "first\n");
    // A report the bench's quality user may write through an ACL; the group only reads.
    const std::string acl = Acl(6, 65533, 6, 4, 6, 4);
    if (!SetAttribute(path, "system.posix_acl_access", acl))
        GTEST_SKIP() << "no ACLs on the file system of " << dir.path().toStdString();
    ASSERT_TRUE(SetAttribute(path, "user.origin", "bench 3"));

    WriteReportFile(path, "second\n");
    EXPECT_EQ(Read(QString::fromStdString(path)), "second\n");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
    EXPECT_EQ(Attribute(path, "user.origin"), "bench 3");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u); // the mask, as before: the group gained nothing
}

TEST(RichText, ANameWithoutAFileRemovesNothingBesideIt) {
    // A save's leftovers are named after its file; a name without a file part must not take
    // other files for them.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bystander = dir.filePath(".abc123");
    QFile(bystander).open(QIODevice::WriteOnly);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const std::string& name : {std::string(), dir.path().toStdString() + "/"})
        EXPECT_THROW(WriteReportFile(name, "x"), ReportFileError) << name;
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(bystander));
}
