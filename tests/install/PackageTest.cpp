// The Debian package that `./dev package` writes, made by cpack from this build: its control
// fields, every file it holds, stripped programs, lintian's verdict, its install scripts, and the
// cable tester unpacked from it running on the simulated bench. As root, dpkg installs it into
// a scratch root (never into the machine's own): operators of the group change the test
// definitions, a later package upgrades it, and remove and purge follow; an upgrade from the
// older package that kept the definitions in the program folder, and the way back to it; a
// configure stopped half-way and an upgrade that fails to unpack.

#include "Execute.h"
#include "InstalledRun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

// Failures show files by their text, not byte by byte.
void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << ::testing::PrintToString(bytes.toStdString());
}

void PrintTo(const QString& text, std::ostream* out) {
    *out << ::testing::PrintToString(text.toStdString());
}

namespace {

namespace fs = std::filesystem;

std::string Str(const QString& s) {
    return s.toStdString();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot read)");
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Every regular file of a folder with its bytes.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        files[name] = Contents(folder + "/" + name);
    return files;
}

// The names of a snapshot, to see at a glance which file is missing or too many.
std::string Names(const QMap<QString, QByteArray>& files) {
    return Str(QStringList(files.keys()).join(", "));
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

// What the install lays out for the prefix /usr and the package adds, as paths in the package.
QSet<QString> ExpectedFiles() {
    QSet<QString> files = {
        "etc/calbrix/CertifTitle.txt",
        "lib/udev/rules.d/60-calbrix.rules",
        "usr/bin/calbrix",
        "usr/bin/relmora",
        "usr/lib/calbrix/calbrix",
        "usr/lib/calbrix/CertifTitle.txt",
        "usr/lib/calbrix/Tests",
        "usr/share/applications/calbrix.desktop",
        "usr/share/applications/relmora.desktop",
        "usr/share/doc/calbrix/copyright",
        "usr/share/doc/calbrix/changelog.gz",
        "usr/share/doc/calbrix/README.Debian",
        "usr/share/man/man1/calbrix.1.gz",
        "usr/share/man/man1/relmora.1.gz",
    };
    for (const char* size : {"48x48", "64x64", "128x128"})
        files << QString("usr/share/icons/hicolor/%1/apps/calbrix.png").arg(size);
    for (const QString& name : FilesIn(QString(SOURCE_DIR) + "/Tests"))
        files << "usr/share/calbrix/Tests/" + name;
    for (const QString& name : FilesIn(QString(SOURCE_DIR) + "/Help"))
        files << "usr/lib/calbrix/Help/" + name;
    return files;
}

// The version the build worked out for the package.
QString BuiltVersion() {
    return QString::fromUtf8(Contents(BUILD_DIR "/packaging/package-version")).trimmed();
}

// One package for all the tests of a program: cpack takes seconds, and the build is the same.
struct BuiltPackage {
    std::string skip, failure;
    std::unique_ptr<QTemporaryDir> dir;
    QString deb, root, control, version;

    BuiltPackage() {
        if (QStandardPaths::findExecutable("dpkg-deb").isEmpty()) {
            skip = "dpkg-deb is missing (Debian's package dpkg): no Debian package here";
            return;
        }
        dir = std::make_unique<QTemporaryDir>();
        const QString out = dir->filePath("out");
        const Ran arch = Execute("dpkg", {"--print-architecture"});
        const Ran cpack =
            Execute(CPACK_PROGRAM, {"--config", BUILD_DIR "/CPackConfig.cmake", "-B", out});
        if (cpack.exitCode != 0) {
            failure = "cpack failed:\n" + Str(cpack.output);
            return;
        }
        version = BuiltVersion();
        // The file is named after the version.
        deb = out + "/calbrix_" + version + "_" + arch.output.trimmed() + ".deb";
        root = dir->filePath("root");
        control = dir->filePath("control");
        const std::pair<const char*, QString> unpacks[] = {{"-x", root}, {"-e", control}};
        for (const auto& [option, folder] : unpacks) {
            const Ran unpack = Execute("dpkg-deb", {option, deb, folder});
            if (unpack.exitCode != 0) {
                failure = "dpkg-deb " + std::string(option) + " " + Str(deb) + " failed:\n" +
                          Str(unpack.output);
                return;
            }
        }
    }
};

BuiltPackage& ThePackage() {
    static BuiltPackage package;
    return package;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ThePackage().skip.empty()) GTEST_SKIP() << ThePackage().skip;
        ASSERT_EQ(ThePackage().failure, "");
    }

    static QString Field(const char* name) {
        return Execute("dpkg-deb", {"-f", deb_(), name}).output.simplified();
    }

    static const QString& deb_() { return ThePackage().deb; }
    static const QString& root_() { return ThePackage().root; }
    static const QString& control_() { return ThePackage().control; }
};

TEST_F(Package, NamesTheRunTimeLibrariesAndNoBuildTool) {
    EXPECT_EQ(Str(Field("Package")), "calbrix");
    // The program's version, then the commit of the build.
    EXPECT_EQ(Str(Field("Version")), Str(ThePackage().version));
    EXPECT_TRUE(ThePackage().version.contains(QRegularExpression(
        R"(^1\.0\.0\+(git[0-9]+\.[0-9a-f]{7,}(\.shallow)?|0\.nogit)(\.dirty)?$)")))
        << Str(ThePackage().version);
    // The change notes carry it too.
    const Ran changelog = Execute("zcat", {root_() + "/usr/share/doc/calbrix/changelog.gz"});
    EXPECT_TRUE(changelog.output.startsWith("calbrix (" + ThePackage().version + ") "))
        << Str(changelog.output);

    const QString depends = Field("Depends");
    const QSet<QString> names = PackageNames(depends);
    for (const char* library :
         {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6printsupport6", "libqt6serialport6",
          "libftdi1-2", "libusb-1.0-0", "libjpeg62-turbo", "libasound2", "libudev1", "libstdc++6",
          "libc6"})
        EXPECT_TRUE(names.contains(library)) << library << " not in: " << Str(depends);
    // The install script's setfacl.
    EXPECT_TRUE(names.contains("acl")) << Str(depends);
    const QSet<QString> build = BuildPackages();
    ASSERT_TRUE(build.contains("cmake")) << "the list in ./dev was not read";
    for (const QString& name : names) {
        EXPECT_FALSE(name.endsWith("-dev")) << Str(name);
        // acl: the tests run the install script, which needs it.
        EXPECT_FALSE(name != "acl" && build.contains(name)) << Str(name) << " is for building";
    }
    // The faces the windows are laid out for.
    EXPECT_TRUE(PackageNames(Field("Recommends")).contains("fonts-wine"));
}

TEST_F(Package, HoldsWhatTheInstallLaysOutAndWhatTheBenchChanges) {
    QSet<QString> files;
    for (const auto& entry : fs::recursive_directory_iterator(Str(root_())))
        if (!fs::is_directory(entry.symlink_status()))
            files << QString::fromStdString(entry.path().lexically_relative(Str(root_())).string());
    const QSet<QString> expected = ExpectedFiles();
    for (const QString& file : files - expected) ADD_FAILURE() << "also in it: " << Str(file);
    for (const QString& file : expected - files) ADD_FAILURE() << "missing: " << Str(file);

    EXPECT_EQ(fs::read_symlink(Str(root_() + "/usr/bin/calbrix")), "../lib/calbrix/calbrix");
    // The names the program reads in its folder lead to what the operators and the
    // administrator own; the samples are shipped elsewhere.
    EXPECT_EQ(fs::read_symlink(Str(root_() + "/usr/lib/calbrix/Tests")), "/var/lib/calbrix/Tests");
    EXPECT_EQ(fs::read_symlink(Str(root_() + "/usr/lib/calbrix/CertifTitle.txt")),
              "/etc/calbrix/CertifTitle.txt");
    const struct {
        const char* source;
        const char* packaged;
    } folders[] = {{"/Tests", "/usr/share/calbrix/Tests"}, {"/Help", "/usr/lib/calbrix/Help"}};
    for (const auto& folder : folders)
        for (const QString& name : FilesIn(QString(SOURCE_DIR) + folder.source))
            EXPECT_EQ(Contents(root_() + folder.packaged + "/" + name),
                      Contents(QString(SOURCE_DIR) + folder.source + "/" + name))
                << Str(name);
    EXPECT_EQ(Contents(root_() + "/lib/udev/rules.d/60-calbrix.rules"),
              Contents(QString(SOURCE_DIR) + "/packaging/60-calbrix.rules"));
    // The title the program gives without a file, and a configuration file for dpkg.
    EXPECT_EQ(Contents(root_() + "/etc/calbrix/CertifTitle.txt"), "Electrical Test\n");
    EXPECT_EQ(Contents(control_() + "/conffiles"), "/etc/calbrix/CertifTitle.txt\n");
    // Where the operators find which group to join.
    for (const char* doc :
         {"/usr/share/doc/calbrix/README.Debian", "/usr/share/man/man1/calbrix.1.gz",
          "/usr/share/man/man1/relmora.1.gz"}) {
        const QString path = root_() + doc;
        const QString text = path.endsWith(".gz") ? Execute("zcat", {path}).output
                                                  : QString::fromUtf8(Contents(path));
        EXPECT_TRUE(text.contains("plugdev")) << doc;
    }
}

TEST_F(Package, TheMenuEntriesStartTheProgramsWithTheirIcon) {
    for (const char* program : {"calbrix", "relmora"}) {
        const QString entry = root_() + "/usr/share/applications/" + program + ".desktop";
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
            QString("%1/usr/share/icons/hicolor/%2x%2/apps/calbrix.png").arg(root_()).arg(size));
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
        const QStringList sections = SectionNames(root_() + program);
        ASSERT_TRUE(sections.contains(".text")) << program << " is not an ELF program";
        for (const QString& section : sections)
            EXPECT_FALSE(section == ".symtab" || section.startsWith(".debug"))
                << program << ": " << Str(section);
    }
}

// No error, and no warning but the two the udev rule means to have: it gives the device to a
// group rather than to whoever sits at the screen, and names no AppStream metadata.
TEST_F(Package, LintianFindsNoErrorAndOnlyTheRulesWarnings) {
    const Ran lintian = Execute("lintian", {deb_()});
    ASSERT_NE(lintian.exitCode, -1)
        << "lintian is missing (Debian's package lintian): " << Str(lintian.output);
    EXPECT_EQ(lintian.exitCode, 0) << Str(lintian.output);
    const QSet<QString> meant = {"udev-rule-missing-uaccess",
                                 "appstream-metadata-missing-modalias-provide"};
    const QRegularExpression tag("^[EW]: calbrix: ([a-z0-9-]+)",
                                 QRegularExpression::MultilineOption);
    for (auto it = tag.globalMatch(lintian.output); it.hasNext();) {
        const QString found = it.next().captured(1);
        EXPECT_TRUE(meant.contains(found)) << Str(lintian.output);
    }
}

TEST_F(Package, TheUnpackedCalbrixRunsOnTheSimulatedBench) {
    const QString workDir = ThePackage().dir->filePath("session");
    ASSERT_TRUE(QDir().mkpath(workDir));
    ExpectBenchSession(root_() + "/usr/bin/calbrix", root_() + "/usr/lib/calbrix", workDir);
}

// --- As root: the package's scripts and dpkg in a scratch root -----------------------------

constexpr uid_t OperatorA = 65534, OperatorB = 65533, Outsider = 65532;

gid_t Plugdev() {
    const group* g = ::getgrnam("plugdev");
    return g ? g->gr_gid : gid_t(-1);
}

// A folder that dpkg installs into as if it were the machine's root, with a database of its
// own: dpkg runs the package's scripts outside a chroot, with DPKG_ROOT naming the folder,
// and a stand-in udevadm that notes its calls. Readable for the operators' processes.
//
// The package's links lead to /var/lib and /etc by absolute names, which dpkg follows when it
// takes away files of an older package below them: dpkg and the scripts run where /var/lib is
// the folder's own (a mount namespace of their own), so that they never reach the machine's.
class ScratchRoot {
public:
    ScratchRoot() {
        ready_ = dir_.isValid() && ::chmod(dir_.path().toLocal8Bit(), 0755) == 0 &&
                 QDir().mkpath(Path("var/lib/dpkg/updates")) &&
                 QDir().mkpath(Path("var/lib/dpkg/info")) &&
                 Write(Path("var/lib/dpkg/status"), {}) && QDir().mkpath(Path("stub")) &&
                 Write(Path("stub/udevadm"),
                       "#!/bin/sh\necho \"$*\" >> \"$(dirname \"$0\")/calls\"\n") &&
                 ::chmod(Path("stub/udevadm").toLocal8Bit(), 0755) == 0;
    }

    bool Ready() const { return ready_; }
    QString Root() const { return dir_.path(); }
    QString Path(const QString& relative) const { return dir_.filePath(relative); }

    Ran Dpkg(const QStringList& args) const {
        return Isolated(QStringList{"dpkg", "--root=" + Root(),
                                    "--admindir=" + Path("var/lib/dpkg"),
                                    "--log=" + Path("dpkg.log"), "--force-script-chrootless",
                                    "--force-depends"} +
                        args);
    }

    // "ii", "rc", or empty when dpkg knows no calbrix.
    QString State() const {
        const Ran query = Execute("dpkg-query", {"--admindir=" + Path("var/lib/dpkg"), "-W",
                                                 "-f=${db:Status-Abbrev}", "calbrix"});
        return query.exitCode == 0 ? query.output.trimmed() : QString();
    }

    QString Version() const {
        return Execute("dpkg-query",
                       {"--admindir=" + Path("var/lib/dpkg"), "-W", "-f=${Version}", "calbrix"})
            .output.trimmed();
    }

    // One of the package's scripts run by hand, as dpkg would.
    Ran Script(const QString& script, const QStringList& args) const {
        return Isolated(QStringList{"env", "DPKG_ROOT=" + Root(),
                                    "DPKG_ADMINDIR=" + Path("var/lib/dpkg"), "/bin/sh", script} +
                        args);
    }

private:
    Ran Isolated(const QStringList& command) const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", Path("stub") + ":" + env.value("PATH"));
        return Execute("unshare",
                       QStringList{"--mount", "--propagation", "private", "--", "sh", "-c",
                                   "mount --bind \"$0\" /var/lib && exec \"$@\"", Path("var/lib")} +
                           command,
                       env);
    }

    QTemporaryDir dir_;
    bool ready_ = false;
};

// A shell command run by another user in `folder`, in the operators' group or outside it; the
// arguments come after the script as $1, $2 ...
Ran AsUser(uid_t uid, bool inGroup, const QString& folder, const QString& script,
           const QStringList& args = {}) {
    return Execute("setpriv", QStringList{"--reuid=" + QString::number(uid), "--regid=65534",
                                          inGroup ? "--groups=plugdev" : "--clear-groups", "--",
                                          "sh", "-c", "cd \"$0\" && " + script, folder} +
                                  args);
}

// The package again under a later version and with one more sample: what the next build
// will be like, as far as dpkg sees it.
QString LaterPackage(const QString& deb, const QString& folder, const QString& version,
                     const QString& sample, const QByteArray& text) {
    const QString tree = folder + "/tree";
    if (Execute("dpkg-deb", {"-R", deb, tree}).exitCode != 0) return {};
    QString control = QString::fromUtf8(Contents(tree + "/DEBIAN/control"));
    control.replace(QRegularExpression("^Version: .*$", QRegularExpression::MultilineOption),
                    "Version: " + version);
    const QString path = "usr/share/calbrix/Tests/" + sample;
    QByteArray sums = Contents(tree + "/DEBIAN/md5sums");
    sums += QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex() + "  " + path.toUtf8() +
            "\n";
    if (!Write(tree + "/DEBIAN/control", control.toUtf8()) || !Write(tree + "/" + path, text) ||
        !Write(tree + "/DEBIAN/md5sums", sums))
        return {};
    const QString later = folder + "/later.deb";
    return Execute("dpkg-deb", {"--root-owner-group", "-b", tree, later}).exitCode == 0 ? later
                                                                                        : QString();
}

// What the machine's own package of calbrix would have in its folders, with their bytes.
QMap<QString, QByteArray> MachinesOwn() {
    QMap<QString, QByteArray> files;
    for (const char* folder : {"/var/lib/calbrix", "/etc/calbrix"}) {
        if (!QFileInfo::exists(folder)) continue;
        files[folder] = "(a folder)";
        QDirIterator it(folder,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path] = it.fileInfo().isDir() ? QByteArray("(a folder)") : Contents(path);
        }
    }
    return files;
}

class PackageOnABench : public Package {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: dpkg installs into a scratch root as root";
        Package::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_NE(Plugdev(), gid_t(-1)) << "no group plugdev";
        machine_ = MachinesOwn();
        watching_ = true;
    }

    void TearDown() override {
        // Everything stayed in the scratch roots.
        if (!watching_) return;
        EXPECT_EQ(MachinesOwn(), machine_) << Names(MachinesOwn());
    }

    QMap<QString, QByteArray> machine_;
    bool watching_ = false;
};

// The install script against a scratch root: udev reloads its rules and applies them to the FTDI
// devices plugged in where a udev daemon answers, and nothing it meets there fails the install.
TEST_F(PackageOnABench, ItsInstallScriptAppliesTheRuleAndNeverFails) {
    EXPECT_EQ(FilesIn(control_()),
              (QStringList{"conffiles", "control", "md5sums", "postinst", "postrm", "preinst",
                           "prerm"}));

    // Every program of the system but udevadm, and udevadm only where a case has one.
    QTemporaryDir tools;
    ASSERT_TRUE(tools.isValid());
    for (const char* folder : {"/usr/bin", "/usr/sbin"})
        for (const QFileInfo& program : QDir(folder).entryInfoList(QDir::Files))
            if (program.fileName() != "udevadm")
                QFile::link(program.filePath(), tools.filePath(program.fileName()));

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
        ScratchRoot bench;
        ASSERT_TRUE(bench.Ready());
        QTemporaryDir bin;
        ASSERT_TRUE(bin.isValid());
        const QString log = bin.filePath("calls");
        if (c.udevadm) {
            const QStringList status = QString(c.udevadm).split(' ');
            ASSERT_TRUE(Write(bin.filePath("udevadm"),
                              QString("#!/bin/sh\necho \"$*\" >> '%1'\n"
                                      "case \"$1\" in control) exit %2;; trigger) exit %3;; esac\n")
                                  .arg(log, status[0], status[1])
                                  .toUtf8()));
            ASSERT_EQ(::chmod(bin.filePath("udevadm").toLocal8Bit(), 0700), 0);
        }
        QProcessEnvironment env;
        env.insert("PATH", bin.path() + ":" + tools.path());
        env.insert("DPKG_ROOT", bench.Root());
        const Ran postinst = Execute("/bin/sh", {control_() + "/postinst", "configure"}, env);
        EXPECT_EQ(postinst.exitCode, 0) << c.what << ": " << Str(postinst.output);
        EXPECT_TRUE(postinst.output.contains("operators need the group plugdev"))
            << c.what << ": " << Str(postinst.output);
        const QStringList calls =
            QFile::exists(log) ? QString::fromUtf8(Contents(log)).split('\n', Qt::SkipEmptyParts)
                               : QStringList();
        EXPECT_EQ(calls, c.calls) << c.what;
    }
}

TEST_F(PackageOnABench, UpgradesAndReinstallsKeepTheOperatorsDefinitionsAndPurgeKeepsTheirs) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    const QString tests = bench.Path("var/lib/calbrix/Tests");
    const QMap<QString, QByteArray> samples = Snapshot(QString(SOURCE_DIR) + "/Tests");
    const QString edited = "Cable 24 wires straight.txt";
    const QString deleted = "Faulty cable - pin used twice.txt";
    const QString own = "Bench cable.rev2.txt";
    ASSERT_TRUE(samples.contains(edited) && samples.contains(deleted));

    // The first install: the operators' folder with every sample, the group's to write.
    const Ran first = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(first.exitCode, 0) << Str(first.output);
    EXPECT_TRUE(first.output.contains("operators need the group plugdev")) << Str(first.output);
    EXPECT_EQ(Str(bench.State()), "ii");
    EXPECT_EQ(Snapshot(tests), samples) << Names(Snapshot(tests));
    struct stat st {};
    ASSERT_EQ(::stat(tests.toLocal8Bit(), &st), 0);
    EXPECT_EQ(st.st_gid, Plugdev());
    EXPECT_EQ(st.st_mode & 07777, 02775u);
    EXPECT_GT(::getxattr(tests.toLocal8Bit(), "system.posix_acl_default", nullptr, 0), 0);
    for (const QString& name : samples.keys()) {
        ASSERT_EQ(::stat((tests + "/" + name).toLocal8Bit(), &st), 0);
        EXPECT_EQ(st.st_gid, Plugdev()) << Str(name);
        EXPECT_EQ(st.st_mode & 07777, 0664u) << Str(name);
    }

    // Operators at work: one changes a sample, adds a definition and deletes a sample; another
    // adds to the first one's file, in place, as an editor writes it. Nobody else may write.
    const Ran a =
        AsUser(OperatorA, true, tests,
               "printf 'edited\\r\\n' >> \"$1\" && printf '1 97\\r\\n' > \"$2\" && rm -- \"$3\"",
               {edited, own, deleted});
    ASSERT_EQ(a.exitCode, 0) << Str(a.output);
    const Ran b = AsUser(OperatorB, true, tests, "printf '2 98\\r\\n' >> \"$1\"", {own});
    EXPECT_EQ(b.exitCode, 0) << "another operator cannot edit it: " << Str(b.output);
    EXPECT_NE(AsUser(Outsider, false, tests, "printf x > \"$1\"", {"Outsider.txt"}).exitCode, 0);
    EXPECT_NE(AsUser(Outsider, false, tests, "printf x >> \"$1\"", {edited}).exitCode, 0);
    QMap<QString, QByteArray> bench0 = samples;
    bench0[edited] += "edited\r\n";
    bench0[own] = "1 97\r\n2 98\r\n";
    bench0.remove(deleted);
    ASSERT_EQ(Snapshot(tests), bench0) << Names(Snapshot(tests));

    // The next build upgrades it, with a sample of its own.
    QTemporaryDir later;
    ASSERT_TRUE(later.isValid());
    const QString laterVersion = ThePackage().version + ".1";
    const QString newSample = "Cable 2 wires.txt";
    const QString laterDeb = LaterPackage(deb_(), later.path(), laterVersion, newSample, "1 97\n");
    ASSERT_FALSE(laterDeb.isEmpty());
    ASSERT_EQ(
        Execute("dpkg", {"--compare-versions", laterVersion, "gt", ThePackage().version}).exitCode,
        0);
    const Ran upgrade = bench.Dpkg({"-i", laterDeb});
    ASSERT_EQ(upgrade.exitCode, 0) << Str(upgrade.output);
    EXPECT_EQ(Str(bench.Version()), Str(laterVersion));
    // Byte for byte; the deleted sample stays deleted, the new one comes.
    QMap<QString, QByteArray> bench1 = bench0;
    bench1[newSample] = "1 97\n";
    EXPECT_EQ(Snapshot(tests), bench1) << Names(Snapshot(tests));

    // The installed program lists them. Its folder's link leads to the machine's own
    // /var/lib/calbrix, so for this run to the scratch root's.
    const QString link = bench.Path("usr/lib/calbrix/Tests");
    ASSERT_EQ(fs::read_symlink(Str(link)), "/var/lib/calbrix/Tests");
    ASSERT_TRUE(QFile::remove(link) && QFile::link(tests, link));
    ASSERT_TRUE(QDir().mkpath(bench.Path("session")));
    ExpectBenchSession(bench.Path("usr/bin/calbrix"), bench.Path("usr/lib/calbrix"),
                       bench.Path("session"));
    ASSERT_TRUE(QFile::remove(link) && QFile::link("/var/lib/calbrix/Tests", link));

    // A reinstall of the same package.
    const Ran reinstall = bench.Dpkg({"-i", laterDeb});
    ASSERT_EQ(reinstall.exitCode, 0) << Str(reinstall.output);
    EXPECT_EQ(Snapshot(tests), bench1) << Names(Snapshot(tests));

    // Remove leaves the definitions and the title, so that purge can follow.
    const Ran remove = bench.Dpkg({"-r", "calbrix"});
    ASSERT_EQ(remove.exitCode, 0) << Str(remove.output);
    EXPECT_EQ(Str(bench.State()), "rc");
    EXPECT_FALSE(QFileInfo::exists(bench.Path("usr/lib/calbrix")));
    EXPECT_EQ(Snapshot(tests), bench1) << Names(Snapshot(tests));
    EXPECT_TRUE(QFileInfo::exists(bench.Path("etc/calbrix/CertifTitle.txt")));

    // Purge takes the samples that no operator changed and says what it kept.
    const Ran purge = bench.Dpkg({"--purge", "calbrix"});
    ASSERT_EQ(purge.exitCode, 0) << Str(purge.output);
    EXPECT_EQ(Str(bench.State()), "");
    EXPECT_TRUE(purge.output.contains("kept in /var/lib/calbrix/Tests")) << Str(purge.output);
    const QMap<QString, QByteArray> kept = {{edited, bench1[edited]}, {own, bench1[own]}};
    EXPECT_EQ(Snapshot(tests), kept) << Names(Snapshot(tests));
    EXPECT_EQ(Snapshot(bench.Path("var/lib/calbrix")), (QMap<QString, QByteArray>{}));
    EXPECT_FALSE(QFileInfo::exists(bench.Path("etc/calbrix")));
}

// A configure stopped while it makes the operators' folder (killed just after the folder came
// to be): the next configure makes it whole, with the group, the mode and the default ACL; a
// purge instead leaves nothing of it.
TEST_F(PackageOnABench, AConfigureStoppedWhileMakingTheFolderMakesItWholeTheNextTime) {
    const auto installStopped = [](const ScratchRoot& bench) -> std::string {
        const QString stub = bench.Path("stub/chgrp");
        if (!Write(stub, "#!/bin/sh\nkill -KILL $PPID\n") || ::chmod(stub.toLocal8Bit(), 0755))
            return "no stub chgrp";
        const Ran stopped = bench.Dpkg({"-i", deb_()});
        if (!QFile::remove(stub)) return "the stub chgrp stays";
        if (stopped.exitCode == 0) return "the configure went through: " + Str(stopped.output);
        return bench.State() == "iF" ? "" : "not half-configured: " + Str(bench.State());
    };
    {
        ScratchRoot bench;
        ASSERT_TRUE(bench.Ready());
        ASSERT_EQ(installStopped(bench), "");
        const Ran again = bench.Dpkg({"--configure", "calbrix"});
        ASSERT_EQ(again.exitCode, 0) << Str(again.output);
        EXPECT_EQ(Str(bench.State()), "ii");
        const QString tests = bench.Path("var/lib/calbrix/Tests"), own = "Bench cable.rev2.txt";
        struct stat st {};
        ASSERT_EQ(::stat(tests.toLocal8Bit(), &st), 0);
        EXPECT_EQ(st.st_gid, Plugdev());
        EXPECT_EQ(st.st_mode & 07777, 02775u);
        EXPECT_GT(::getxattr(tests.toLocal8Bit(), "system.posix_acl_default", nullptr, 0), 0);
        const Ran a = AsUser(OperatorA, true, tests, "printf '1 97\\r\\n' > \"$1\"", {own});
        EXPECT_EQ(a.exitCode, 0) << Str(a.output);
        QMap<QString, QByteArray> expected = Snapshot(QString(SOURCE_DIR) + "/Tests");
        expected[own] = "1 97\r\n";
        EXPECT_EQ(Snapshot(tests), expected) << Names(Snapshot(tests));
        EXPECT_EQ(bench.Dpkg({"--purge", "calbrix"}).exitCode, 0);
    }
    {
        ScratchRoot bench;
        ASSERT_TRUE(bench.Ready());
        ASSERT_EQ(installStopped(bench), "");
        const Ran purge = bench.Dpkg({"--purge", "calbrix"});
        ASSERT_EQ(purge.exitCode, 0) << Str(purge.output);
        EXPECT_EQ(Str(bench.State()), "");
        EXPECT_FALSE(QFileInfo::exists(bench.Path("var/lib/calbrix")))
            << Str(QDir(bench.Path("var/lib/calbrix")).entryList(QDir::AllEntries).join(", "));
    }
}

// A package of `files` (paths in it, with their bytes) built in `folder`; its file name, or
// the empty text when dpkg-deb failed.
QString PackageOf(const QString& folder, const QString& name, const QString& version,
                  const QMap<QString, QByteArray>& files) {
    const QString tree = folder + "/" + name + "-tree";
    if (!QDir().mkpath(tree + "/DEBIAN")) return {};
    const QString arch = Execute("dpkg", {"--print-architecture"}).output.trimmed();
    const QByteArray control = "Package: " + name.toUtf8() + "\nVersion: " + version.toUtf8() +
                               "\nArchitecture: " + arch.toUtf8() +
                               "\nMaintainer: Tolvex test equipment <support@tolvex.example>\n"
                               "Description: " + name.toUtf8() + "\n a package of the test\n";
    if (!Write(tree + "/DEBIAN/control", control)) return {};
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = tree + "/" + it.key();
        if (!QDir().mkpath(QFileInfo(path).path()) || !Write(path, it.value())) return {};
    }
    const QString deb = folder + "/" + name + "_" + version + ".deb";
    return Execute("dpkg-deb", {"--root-owner-group", "-b", tree, deb}).exitCode == 0 ? deb
                                                                                      : QString();
}

// In the program folder of the older package: a sample that root changed, a definition of the
// bench's own, and a sample that nobody changed. The two samples were shorter then by their last
// line, which a later version added.
const QString OlderEdited = "Cable 24 wires straight.txt", OlderOwn = "Bench cable.rev2.txt",
              OlderUnchanged = "Faulty cable - pin used twice.txt";

QByteArray OlderSample(const QString& name) {
    QByteArray text = Contents(QString(SOURCE_DIR) + "/Tests/" + name);
    if (name == OlderEdited || name == OlderUnchanged)
        text.truncate(text.lastIndexOf('\n', text.size() - 2) + 1);
    return text;
}

QByteArray OlderEditedText() {
    return OlderSample(OlderEdited) + "edited\r\n";
}

// The older package: the samples in the program folder, where root put the bench's own
// definitions and changed a sample, and a certificate title beside the program.
QString OlderPackage(const QString& folder) {
    QMap<QString, QByteArray> files = {{"usr/lib/calbrix/calbrix", "#!/bin/sh\n"}};
    for (const QString& name : FilesIn(QString(SOURCE_DIR) + "/Tests"))
        files["usr/lib/calbrix/Tests/" + name] = OlderSample(name);
    return PackageOf(folder, "calbrix", "1.0.0", files);
}

// The older package installed in `bench` and its program folder changed so; the empty text,
// or what failed.
std::string InstallTheOlderPackageAndChangeIt(const ScratchRoot& bench, const QString& folder) {
    const QString olderDeb = OlderPackage(folder);
    if (olderDeb.isEmpty()) return "no older package";
    const Ran install = bench.Dpkg({"-i", olderDeb});
    if (install.exitCode != 0) return Str(install.output);
    const QString oldTests = bench.Path("usr/lib/calbrix/Tests");
    if (!Write(oldTests + "/" + OlderEdited, OlderEditedText()) ||
        !Write(oldTests + "/" + OlderOwn, "1 97\r\n"))
        return "cannot write in " + Str(oldTests);
    return {};
}

TEST_F(PackageOnABench, AnUpgradeFromTheProgramFolderMovesTheOperatorsFilesOut) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    QTemporaryDir older;
    ASSERT_TRUE(older.isValid());
    ASSERT_EQ(InstallTheOlderPackageAndChangeIt(bench, older.path()), "");
    const QString oldTests = bench.Path("usr/lib/calbrix/Tests");
    const QString &edited = OlderEdited, &own = OlderOwn;
    const QByteArray editedText = OlderEditedText();
    const QMap<QString, QByteArray> samples = Snapshot(QString(SOURCE_DIR) + "/Tests");
    ASSERT_TRUE(Write(bench.Path("usr/lib/calbrix/CertifTitle.txt"), "Shop title\r\n"));

    // A failed upgrade puts the folder back as it was.
    const Ran preinst = bench.Script(control_() + "/preinst", {"upgrade", "1.0.0"});
    ASSERT_EQ(preinst.exitCode, 0) << Str(preinst.output);
    EXPECT_FALSE(QFileInfo::exists(oldTests));
    const Ran abort = bench.Script(control_() + "/postrm", {"abort-upgrade", "1.0.0"});
    ASSERT_EQ(abort.exitCode, 0) << Str(abort.output);
    EXPECT_EQ(Snapshot(oldTests)[own], "1 97\r\n");
    EXPECT_EQ(Contents(bench.Path("usr/lib/calbrix/CertifTitle.txt")), "Shop title\r\n");
    // Nor any note of it.
    EXPECT_FALSE(QFileInfo::exists(bench.Path("var/lib/calbrix")));

    const Ran upgrade = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(upgrade.exitCode, 0) << Str(upgrade.output);
    // The administrator reads where they went, in the order of their names.
    EXPECT_TRUE(upgrade.output.contains("are now in /var/lib/calbrix/Tests:\n    " + own +
                                        "\n    " + edited + "\n"))
        << Str(upgrade.output);
    EXPECT_TRUE(upgrade.output.contains("is now in /etc/calbrix/CertifTitle.txt"))
        << Str(upgrade.output);
    EXPECT_EQ(fs::read_symlink(Str(oldTests)), "/var/lib/calbrix/Tests");
    EXPECT_EQ(fs::read_symlink(Str(bench.Path("usr/lib/calbrix/CertifTitle.txt"))),
              "/etc/calbrix/CertifTitle.txt");
    EXPECT_EQ(Contents(bench.Path("etc/calbrix/CertifTitle.txt")), "Shop title\r\n");
    // Nothing is left aside, and no note of the upgrade.
    EXPECT_EQ(QDir(bench.Path("usr/lib/calbrix")).entryList({"*.dpkg-backup"}, QDir::AllEntries),
              QStringList());
    EXPECT_EQ(QDir(bench.Path("var/lib/calbrix"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"Tests", "samples-offered"}));

    // The sample that nobody changed is the new one, a sample like the others.
    const QString tests = bench.Path("var/lib/calbrix/Tests");
    QMap<QString, QByteArray> expected = samples;
    expected[edited] = editedText;
    expected[own] = "1 97\r\n";
    ASSERT_NE(OlderSample(OlderUnchanged), samples[OlderUnchanged]);
    EXPECT_EQ(Snapshot(tests), expected) << Names(Snapshot(tests));
    for (const QString& name : {edited, own}) {
        struct stat st {};
        ASSERT_EQ(::stat((tests + "/" + name).toLocal8Bit(), &st), 0);
        EXPECT_EQ(st.st_gid, Plugdev()) << Str(name);
        EXPECT_TRUE(st.st_mode & S_IWGRP) << Str(name);
    }
    const Ran purge = bench.Dpkg({"--purge", "calbrix"});
    ASSERT_EQ(purge.exitCode, 0) << Str(purge.output);
    const QMap<QString, QByteArray> kept = {{edited, editedText}, {own, "1 97\r\n"}};
    EXPECT_EQ(Snapshot(tests), kept) << Names(Snapshot(tests));
}

// The older package installed where a newer one was removed before and left the operators'
// folder: dpkg takes away the older samples by names that lead into it, and no file of it goes.
TEST_F(PackageOnABench, AnUpgradeFromTheProgramFolderKeepsTheFolderThatARemovedPackageLeft) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    const QString tests = bench.Path("var/lib/calbrix/Tests");
    const QString left = "Connecting box 48 ways.txt";
    const Ran newer = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(newer.exitCode, 0) << Str(newer.output);
    ASSERT_TRUE(Write(tests + "/" + left, "1 97\r\n"));
    const Ran remove = bench.Dpkg({"-r", "calbrix"});
    ASSERT_EQ(remove.exitCode, 0) << Str(remove.output);
    const QMap<QString, QByteArray> leftBehind = Snapshot(tests);

    QTemporaryDir older;
    ASSERT_TRUE(older.isValid());
    ASSERT_EQ(InstallTheOlderPackageAndChangeIt(bench, older.path()), "");

    const Ran upgrade = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(upgrade.exitCode, 0) << Str(upgrade.output);
    // The folder as it was left, with what was added or changed in the program folder; the
    // changed sample beside the one of the same name there.
    QMap<QString, QByteArray> expected = leftBehind;
    expected[OlderOwn] = "1 97\r\n";
    expected[OlderEdited + ".dpkg-old"] = OlderEditedText();
    EXPECT_EQ(Snapshot(tests), expected) << Names(Snapshot(tests));
    EXPECT_EQ(QDir(bench.Path("var/lib/calbrix")).entryList({"*.dpkg-backup"}, QDir::AllEntries),
              QStringList());
    EXPECT_EQ(bench.Dpkg({"--purge", "calbrix"}).exitCode, 0);
}

// Installing a package of the older layout over this one would unpack its samples through the
// link over the operators' files: the package refuses before anything is unpacked, and dpkg
// gives up. Removed first, the older package gets a folder of its own beside theirs.
TEST_F(PackageOnABench, GoingBackToTheOlderLayoutWaitsUntilThisOneIsRemoved) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    const Ran install = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(install.exitCode, 0) << Str(install.output);
    const QString tests = bench.Path("var/lib/calbrix/Tests");
    const QString link = bench.Path("usr/lib/calbrix/Tests");
    ASSERT_TRUE(Write(tests + "/" + OlderEdited, OlderEditedText()) &&
                Write(tests + "/" + OlderOwn, "1 97\r\n"));
    const QMap<QString, QByteArray> operators = Snapshot(tests);
    QTemporaryDir older;
    ASSERT_TRUE(older.isValid());
    const QString olderDeb = OlderPackage(older.path());
    ASSERT_FALSE(olderDeb.isEmpty());

    const Ran back = bench.Dpkg({"-i", olderDeb});
    EXPECT_NE(back.exitCode, 0) << Str(back.output);
    EXPECT_TRUE(back.output.contains("calbrix: version 1.0.0 keeps the test definitions in "
                                     "/usr/lib/calbrix/Tests") &&
                back.output.contains("remove this package first (apt remove calbrix)"))
        << Str(back.output);
    EXPECT_EQ(Str(bench.State()), "ii");
    EXPECT_EQ(Str(bench.Version()), Str(ThePackage().version));
    std::error_code error;
    EXPECT_EQ(fs::read_symlink(Str(link), error), "/var/lib/calbrix/Tests") << error.message();
    EXPECT_EQ(Snapshot(tests), operators) << Names(Snapshot(tests));

    ASSERT_EQ(bench.Dpkg({"-r", "calbrix"}).exitCode, 0);
    const Ran after = bench.Dpkg({"-i", olderDeb});
    ASSERT_EQ(after.exitCode, 0) << Str(after.output);
    EXPECT_EQ(Str(bench.Version()), "1.0.0");
    EXPECT_TRUE(QFileInfo(link).isDir() && !QFileInfo(link).isSymLink());
    EXPECT_EQ(Snapshot(tests), operators) << Names(Snapshot(tests));
    EXPECT_EQ(bench.Dpkg({"--purge", "calbrix"}).exitCode, 0);
}

// The pre-removal script refuses the older layout only: a removal, an upgrade to this or a later
// build, and a failed upgrade go on without a word.
TEST_F(PackageOnABench, ItsPreRemovalScriptRefusesOnlyTheOlderLayout) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    const QString version = ThePackage().version;
    const struct {
        QStringList args;
        bool refused;
    } cases[] = {
        {{"upgrade", "1.0.0"}, true},
        {{"upgrade", "0.9.4"}, true},
        {{"upgrade", "1.0.0~rc2"}, true},
        {{"upgrade", "1.0.0+0.nogit"}, false},
        {{"upgrade", version}, false},
        {{"upgrade", version + ".1"}, false},
        {{"remove"}, false},
        {{"failed-upgrade", "1.0.0"}, false},
        {{"deconfigure", "in-favour", "bench-extras", "1"}, false},
    };
    for (const auto& c : cases) {
        const Ran prerm = bench.Script(control_() + "/prerm", c.args);
        const std::string what = Str(c.args.join(' '));
        if (c.refused) {
            EXPECT_EQ(prerm.exitCode, 1) << what << ": " << Str(prerm.output);
            EXPECT_TRUE(prerm.output.contains("calbrix: version " + c.args[1] + " keeps"))
                << what << ": " << Str(prerm.output);
        } else {
            EXPECT_EQ(prerm.exitCode, 0) << what << ": " << Str(prerm.output);
            EXPECT_EQ(Str(prerm.output), "") << what;
        }
    }
}

// An upgrade from the program folder that found a name and its .dpkg-old both taken in the
// operators' folder leaves the rest of the old folder aside. A later upgrade that fails puts
// back only what its own preinst moved: the program folder keeps its link, that folder stays.
TEST_F(PackageOnABench, AFailedUpgradePutsBackOnlyWhatItMovedAside) {
    ScratchRoot bench;
    ASSERT_TRUE(bench.Ready());
    const QString tests = bench.Path("var/lib/calbrix/Tests");
    const Ran newer = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(newer.exitCode, 0) << Str(newer.output);
    ASSERT_TRUE(Write(tests + "/" + OlderOwn, "2 98\r\n") &&
                Write(tests + "/" + OlderOwn + ".dpkg-old", "3 99\r\n"));
    ASSERT_EQ(bench.Dpkg({"-r", "calbrix"}).exitCode, 0);
    QTemporaryDir older;
    ASSERT_TRUE(older.isValid());
    ASSERT_EQ(InstallTheOlderPackageAndChangeIt(bench, older.path()), "");
    const Ran upgrade = bench.Dpkg({"-i", deb_()});
    ASSERT_EQ(upgrade.exitCode, 0) << Str(upgrade.output);
    ASSERT_TRUE(upgrade.output.contains("are left in /usr/lib/calbrix/Tests.dpkg-backup"))
        << Str(upgrade.output);
    const QString left = bench.Path("usr/lib/calbrix/Tests.dpkg-backup");
    ASSERT_EQ(Snapshot(left), (QMap<QString, QByteArray>{{OlderOwn, "1 97\r\n"}}));
    const QMap<QString, QByteArray> operators = Snapshot(tests);

    // The next build fails to unpack: its new sample is a file of another package.
    const QString newSample = "Cable 2 wires.txt";
    const QString other = PackageOf(older.path(), "bench-extras", "1",
                                    {{"usr/share/calbrix/Tests/" + newSample, "1 97\n"}});
    ASSERT_FALSE(other.isEmpty());
    ASSERT_EQ(bench.Dpkg({"-i", other}).exitCode, 0);
    QTemporaryDir later;
    ASSERT_TRUE(later.isValid());
    const QString laterDeb =
        LaterPackage(deb_(), later.path(), ThePackage().version + ".1", newSample, "1 97\n");
    ASSERT_FALSE(laterDeb.isEmpty());
    const Ran failed = bench.Dpkg({"-i", laterDeb});
    ASSERT_NE(failed.exitCode, 0) << Str(failed.output);
    ASSERT_TRUE(failed.output.contains("trying to overwrite")) << Str(failed.output);

    EXPECT_EQ(Str(bench.State()), "ii");
    EXPECT_EQ(Str(bench.Version()), Str(ThePackage().version));
    std::error_code error;
    EXPECT_EQ(fs::read_symlink(Str(bench.Path("usr/lib/calbrix/Tests")), error),
              "/var/lib/calbrix/Tests")
        << error.message();
    EXPECT_EQ(Snapshot(left), (QMap<QString, QByteArray>{{OlderOwn, "1 97\r\n"}}));
    EXPECT_EQ(Snapshot(tests), operators) << Names(Snapshot(tests));
    EXPECT_EQ(bench.Dpkg({"--purge", "calbrix", "bench-extras"}).exitCode, 0);
}

} // namespace
