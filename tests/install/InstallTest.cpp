// `cmake --install` of this build into a temporary prefix: every file where the programs and
// the desktop look for it, and the installed cable tester run from there on the simulated
// bench, finding its samples and its guide beside itself.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "InstalledRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// A prefix with a blank in it, as a bench PC's folder may well have.
const char* const PrefixName = "bench pc";

std::string Str(const QString& s) {
    return s.toStdString();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot read)");
}

// Runs the installed build's `cmake --install`; the empty text when it succeeded, else what
// it said.
std::string Install(const QString& prefix, const QString& destdir = {}) {
    QProcess install;
    auto env = QProcessEnvironment::systemEnvironment();
    if (destdir.isEmpty())
        env.remove("DESTDIR");
    else
        env.insert("DESTDIR", destdir);
    install.setProcessEnvironment(env);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(CMAKE_PROGRAM, {"--install", BUILD_DIR, "--prefix", prefix});
    if (!install.waitForFinished(120000)) return "cmake --install did not finish";
    if (install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0) return {};
    return "cmake --install failed:\n" + Str(QString::fromLocal8Bit(install.readAll()));
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// The Exec line of a desktop entry.
QString ExecOf(const QString& entry) {
    const auto match = QRegularExpression("^Exec=(.*)$", QRegularExpression::MultilineOption)
                           .match(QString::fromUtf8(Contents(entry)));
    return match.hasMatch() ? match.captured(1) : QString("(no Exec line)");
}

// What desktop-file-validate finds wrong; empty when nothing.
std::string DesktopProblems(const QString& entry) {
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {entry});
    if (!validate.waitForFinished(30000)) return "desktop-file-validate did not finish";
    if (validate.error() == QProcess::FailedToStart)
        return "desktop-file-validate is missing (Debian package desktop-file-utils)";
    const std::string said = Str(QString::fromLocal8Bit(validate.readAll()));
    return validate.exitCode() == 0 && said.empty() ? std::string() : said;
}

// The layout below `root` (the prefix, or the staging folder in front of it) for an install
// whose programs run from `prefix`.
void ExpectLayout(const QString& root, const QString& prefix) {
    const QString programDir = root + "/lib/calbrix";
    const std::filesystem::path link = Str(root + "/bin/calbrix");
    ASSERT_TRUE(std::filesystem::is_symlink(link)) << link;
    // Relative, so the staged tree moves to its prefix unchanged.
    EXPECT_EQ(std::filesystem::read_symlink(link), "../lib/calbrix/calbrix");
    EXPECT_TRUE(QFileInfo(programDir + "/calbrix").isExecutable());
    EXPECT_TRUE(QFileInfo(root + "/bin/relmora").isExecutable());

    // The program folder holds exactly what the sources ship, byte for byte.
    const struct {
        const char* source;
        const char* installed;
    } folders[] = {{"/Tests", "/Tests"}, {"/Help", "/Help"}};
    for (const auto& folder : folders) {
        const QString from = QString(SOURCE_DIR) + folder.source;
        const QString to = programDir + folder.installed;
        ASSERT_FALSE(FilesIn(from).isEmpty()) << Str(from);
        EXPECT_EQ(FilesIn(to), FilesIn(from)) << Str(to);
        for (const QString& name : FilesIn(from))
            EXPECT_EQ(Contents(to + "/" + name), Contents(from + "/" + name)) << Str(name);
    }
    EXPECT_EQ(Contents(root + "/lib/udev/rules.d/60-calbrix.rules"),
              Contents(QString(SOURCE_DIR) + "/packaging/60-calbrix.rules"));
    for (const char* size : {"48x48", "64x64", "128x128"})
        EXPECT_TRUE(QFileInfo(root + "/share/icons/hicolor/" + size + "/apps/calbrix.png").isFile())
            << size;

    for (const char* program : {"calbrix", "relmora"}) {
        const QString entry = root + "/share/applications/" + program + ".desktop";
        EXPECT_EQ(DesktopProblems(entry), "") << Str(entry);
        // Quoted: the prefix may hold blanks.
        EXPECT_EQ(Str(ExecOf(entry)), Str("\"" + prefix + "/bin/" + program + "\""));
        EXPECT_TRUE(Contents(entry).contains("\nIcon=calbrix\n")) << Str(entry);
    }
}

TEST(Install, PutsEachFileWhereTheProgramsAndTheDesktopLookForIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString prefix = dir.filePath(PrefixName);
    ASSERT_EQ(Install(prefix), "");
    ExpectLayout(prefix, prefix);
}

// A package build stages the files under DESTDIR; the programs will run from the prefix.
TEST(Install, StagedUnderDestdirTheEntriesNameThePrefix) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString stage = dir.filePath("stage");
    const QString prefix = "/opt/calbrix-staged-" + QFileInfo(dir.path()).fileName();
    ASSERT_EQ(Install(prefix, stage), "");
    ExpectLayout(stage + prefix, prefix);
    EXPECT_FALSE(QFileInfo::exists(prefix)) << "written outside the staging folder";
}

// The installed program, started through its link from elsewhere, on the simulated bench:
// the probe plugin reports what the window showed.
TEST(InstalledProgram, ListsItsTestsConnectsAndOpensItsGuide) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString prefix = dir.filePath(PrefixName);
    ASSERT_EQ(Install(prefix), "");
    // A definition of the bench's own, beside the samples: the list comes from this folder.
    const QString testsDir = prefix + "/lib/calbrix/Tests";
    QFile own(testsDir + "/Bench cable.rev2.txt");
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("1 97\n");
    own.close();

    // Its list is compared with this folder, the own definition included.
    ExpectBenchSession(prefix + "/bin/calbrix", prefix + "/lib/calbrix", dir.path());
}

} // namespace
