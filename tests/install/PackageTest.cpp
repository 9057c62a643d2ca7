// The Debian package that `./dev package` writes, made by cpack from this build: its control
// fields, every file it holds, stripped programs, lintian's verdict, its install script, and the
// cable tester unpacked from it running on the simulated bench.

#include "Execute.h"
#include "InstalledRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Str(const QString& s) {
    return s.toStdString();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot read)");
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// The package names of a relationship field ("a (>= 1), b | c"), without versions.
QSet<QString> PackageNames(const QString& field) {
    QSet<QString> names;
    for (const QString& alternative : field.split(QRegularExpression("[,|]"))) {
        QString name = alternative.trimmed();
        name = name.left(name.indexOf('(')).trimmed();
        name = name.left(name.indexOf(':'));
        if (!name.isEmpty()) names << name;
    }
    return names;
}

// What `./dev` installs to build and test: none of it may be needed to run the programs.
QSet<QString> BuildPackages() {
    QString dev = QString::fromUtf8(Contents(QString(SOURCE_DIR) + "/dev"));
    const auto list = QRegularExpression(R"(\npackages=\(([^)]*)\))").match(dev);
    QSet<QString> names;
    for (const QString& line : list.captured(1).split('\n'))
        for (const QString& name : line.left(line.indexOf('#')).split(' ', Qt::SkipEmptyParts))
            names << name;
    return names;
}

// The section names of a 64-bit little-endian ELF file; empty when it is none.
QStringList SectionNames(const QString& path) {
    const QByteArray elf = Contents(path);
    const auto at = [&elf](quint64 offset, int size) -> quint64 {
        if (offset + size > quint64(elf.size())) return 0;
        quint64 value = 0;
        std::memcpy(&value, elf.constData() + offset, size);
        return qFromLittleEndian(value);
    };
    if (!elf.startsWith("\177ELF") || elf.size() < 64 || elf[4] != 2 || elf[5] != 1) return {};
    const quint64 table = at(0x28, 8);
    const quint64 entrySize = at(0x3A, 2), count = at(0x3C, 2), namesIndex = at(0x3E, 2);
    if (namesIndex >= count || table + count * entrySize > quint64(elf.size())) return {};
    const quint64 names = at(table + namesIndex * entrySize + 0x18, 8);
    QStringList sections;
    for (quint64 i = 0; i < count; ++i) {
        const quint64 name = names + at(table + i * entrySize, 4);
        if (name >= quint64(elf.size())) return {};
        sections << QString::fromLatin1(elf.constData() + name);
    }
    return sections;
}

// What the install lays out for the prefix /usr, as paths in the package.
QSet<QString> ExpectedFiles() {
    QSet<QString> files = {
        "lib/udev/rules.d/60-calbrix.rules",
        "usr/bin/calbrix",
        "usr/bin/relmora",
        "usr/lib/calbrix/calbrix",
        "usr/share/applications/calbrix.desktop",
        "usr/share/applications/relmora.desktop",
        "usr/share/doc/calbrix/copyright",
        "usr/share/doc/calbrix/changelog.gz",
    };
    for (const char* size : {"48x48", "64x64", "128x128"})
        files << QString("usr/share/icons/hicolor/%1/apps/calbrix.png").arg(size);
    for (const char* folder : {"Tests", "Help"})
        for (const QString& name : FilesIn(QString(SOURCE_DIR) + "/" + folder))
            files << QString("usr/lib/calbrix/%1/%2").arg(folder, name);
    return files;
}

// The version the build worked out for the package.
QString BuiltVersion() {
    return QString::fromUtf8(Contents(BUILD_DIR "/packaging/package-version")).trimmed();
}

// One package for all the tests: cpack takes seconds, and the build is the same.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("dpkg-deb").isEmpty()) {
            skip_ = "dpkg-deb is missing (Debian's package dpkg): no Debian package here";
            return;
        }
        dir_ = std::make_unique<QTemporaryDir>();
        const QString out = dir_->filePath("out");
        const Ran arch = Execute("dpkg", {"--print-architecture"});
        const Ran cpack =
            Execute(CPACK_PROGRAM, {"--config", BUILD_DIR "/CPackConfig.cmake", "-B", out});
        if (cpack.exitCode != 0) {
            failure_ = "cpack failed:\n" + Str(cpack.output);
            return;
        }
        // The file is named after the version.
        version_ = BuiltVersion();
        deb_ = out + "/calbrix_" + version_ + "_" + arch.output.trimmed() + ".deb";
        root_ = dir_->filePath("root");
        control_ = dir_->filePath("control");
        const std::pair<const char*, QString> unpacks[] = {{"-x", root_}, {"-e", control_}};
        for (const auto& [option, folder] : unpacks) {
            const Ran unpack = Execute("dpkg-deb", {option, deb_, folder});
            if (unpack.exitCode != 0) {
                failure_ = "dpkg-deb " + std::string(option) + " " + Str(deb_) + " failed:\n" +
                           Str(unpack.output);
                return;
            }
        }
    }

    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        ASSERT_EQ(failure_, "");
    }

    static QString Field(const char* name) {
        return Execute("dpkg-deb", {"-f", deb_, name}).output.simplified();
    }

    static inline std::string skip_, failure_;
    static inline std::unique_ptr<QTemporaryDir> dir_;
    static inline QString deb_, root_, control_, version_;
};

TEST_F(Package, NamesTheRunTimeLibrariesAndNoBuildTool) {
    EXPECT_EQ(Str(Field("Package")), "calbrix");
    // The program's version, then the commit of the build.
    EXPECT_EQ(Str(Field("Version")), Str(version_));
    EXPECT_TRUE(version_.contains(QRegularExpression(
        R"(^1\.0\.0\+(git[0-9]+\.[0-9a-f]{7,}(\.shallow)?|0\.nogit)(\.dirty)?$)")))
        << Str(version_);
    // The change notes carry it too.
    const Ran changelog = Execute("zcat", {root_ + "/usr/share/doc/calbrix/changelog.gz"});
    EXPECT_TRUE(changelog.output.startsWith("calbrix (" + version_ + ") "))
        << Str(changelog.output);

    const QString depends = Field("Depends");
    const QSet<QString> names = PackageNames(depends);
    for (const char* library :
         {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6printsupport6", "libqt6serialport6",
          "libftdi1-2", "libusb-1.0-0", "libjpeg62-turbo", "libasound2", "libudev1", "libstdc++6",
          "libc6"})
        EXPECT_TRUE(names.contains(library)) << library << " not in: " << Str(depends);
    const QSet<QString> build = BuildPackages();
    ASSERT_TRUE(build.contains("cmake")) << "the list in ./dev was not read";
    for (const QString& name : names) {
        EXPECT_FALSE(name.endsWith("-dev")) << Str(name);
        EXPECT_FALSE(build.contains(name)) << Str(name) << " is for building";
    }
    // The faces the windows are laid out for.
    EXPECT_TRUE(PackageNames(Field("Recommends")).contains("fonts-wine"));
}

TEST_F(Package, HoldsWhatTheInstallLaysOutAndNothingElse) {
    QSet<QString> files;
    for (const auto& entry : fs::recursive_directory_iterator(Str(root_)))
        if (!fs::is_directory(entry.symlink_status()))
            files << QString::fromStdString(entry.path().lexically_relative(Str(root_)).string());
    const QSet<QString> expected = ExpectedFiles();
    for (const QString& file : files - expected) ADD_FAILURE() << "also in it: " << Str(file);
    for (const QString& file : expected - files) ADD_FAILURE() << "missing: " << Str(file);

    EXPECT_EQ(fs::read_symlink(Str(root_ + "/usr/bin/calbrix")), "../lib/calbrix/calbrix");
    for (const char* folder : {"Tests", "Help"})
        for (const QString& name : FilesIn(QString(SOURCE_DIR) + "/" + folder))
            EXPECT_EQ(Contents(root_ + "/usr/lib/calbrix/" + folder + "/" + name),
                      Contents(QString(SOURCE_DIR) + "/" + folder + "/" + name))
                << Str(name);
    EXPECT_EQ(Contents(root_ + "/lib/udev/rules.d/60-calbrix.rules"),
              Contents(QString(SOURCE_DIR) + "/packaging/60-calbrix.rules"));
}

TEST_F(Package, TheMenuEntriesStartTheProgramsWithTheirIcon) {
    for (const char* program : {"calbrix", "relmora"}) {
        const QString entry = root_ + "/usr/share/applications/" + program + ".desktop";
        const Ran validate = Execute("desktop-file-validate", {entry});
        EXPECT_EQ(validate.exitCode, 0) << program << ": " << Str(validate.output);
        EXPECT_EQ(Str(validate.output), "") << program;
        const QString text = QString::fromUtf8(Contents(entry));
        EXPECT_TRUE(text.contains(QString("\nExec=\"/usr/bin/%1\"\n").arg(program))) << Str(text);
        EXPECT_TRUE(text.contains("\nIcon=calbrix\n")) << Str(text);
    }
    // The product picture, taller than wide, on a transparent square.
    for (const int size : {48, 64, 128}) {
        const QImage icon(
            QString("%1/usr/share/icons/hicolor/%2x%2/apps/calbrix.png").arg(root_).arg(size));
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, size / 2)), 0) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }
}

TEST_F(Package, ItsProgramsAreStripped) {
    // The reader sees the symbols of the program as built.
    EXPECT_TRUE(SectionNames(BUILD_DIR "/interface/calbrix").contains(".symtab"));
    for (const char* program : {"/usr/lib/calbrix/calbrix", "/usr/bin/relmora"}) {
        const QStringList sections = SectionNames(root_ + program);
        ASSERT_TRUE(sections.contains(".text")) << program << " is not an ELF program";
        for (const QString& section : sections)
            EXPECT_FALSE(section == ".symtab" || section.startsWith(".debug"))
                << program << ": " << Str(section);
    }
}

TEST_F(Package, LintianFindsNoError) {
    const Ran lintian = Execute("lintian", {deb_});
    ASSERT_NE(lintian.exitCode, -1)
        << "lintian is missing (Debian's package lintian): " << Str(lintian.output);
    EXPECT_EQ(lintian.exitCode, 0) << Str(lintian.output);
    EXPECT_FALSE(
        lintian.output.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
        << Str(lintian.output);
}

// Installing reloads udev's rules and applies them to the FTDI devices plugged in, where a udev
// daemon answers; nothing it meets fails the install. Removal runs no script at all.
TEST_F(Package, ItsInstallScriptAppliesTheRuleAndNeverFails) {
    EXPECT_EQ(FilesIn(control_), (QStringList{"control", "md5sums", "postinst"}));

    const QString trigger = "trigger --subsystem-match=usb --attr-match=idVendor=0403";
    const struct {
        const char* what;
        const char* udevadm; // its script's exit statuses for control and trigger; none: absent
        QStringList calls;
    } cases[] = {
        {"a udev daemon answers", "0 0", {"control --reload-rules", trigger}},
        {"the trigger fails", "0 1", {"control --reload-rules", trigger}},
        {"no udev daemon runs (a container)", "1 0", {"control --reload-rules"}},
        {"udevadm is not installed (a chroot)", nullptr, {}},
    };
    for (const auto& c : cases) {
        QTemporaryDir bin;
        ASSERT_TRUE(bin.isValid());
        const QString log = bin.filePath("calls");
        if (c.udevadm) {
            const QStringList status = QString(c.udevadm).split(' ');
            QFile udevadm(bin.filePath("udevadm"));
            ASSERT_TRUE(udevadm.open(QIODevice::WriteOnly));
            udevadm.write(QString("#!/bin/sh\necho \"$*\" >> '%1'\n"
                                  "case \"$1\" in control) exit %2;; trigger) exit %3;; esac\n")
                              .arg(log, status[0], status[1])
                              .toUtf8());
            udevadm.close();
            udevadm.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QProcessEnvironment env;
        env.insert("PATH", bin.path());
        const Ran postinst = Execute("/bin/sh", {control_ + "/postinst", "configure"}, env);
        EXPECT_EQ(postinst.exitCode, 0) << c.what << ": " << Str(postinst.output);
        const QStringList calls =
            QFile::exists(log) ? QString::fromUtf8(Contents(log)).split('\n', Qt::SkipEmptyParts)
                               : QStringList();
        EXPECT_EQ(calls, c.calls) << c.what;
    }
}

TEST_F(Package, TheUnpackedCalbrixRunsOnTheSimulatedBench) {
    const QString workDir = dir_->filePath("session");
    ASSERT_TRUE(QDir().mkpath(workDir));
    ExpectBenchSession(root_ + "/usr/bin/calbrix", root_ + "/usr/lib/calbrix", workDir);
}

} // namespace
