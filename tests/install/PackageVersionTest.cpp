// The package's version as the build works it out (packaging/PackageVersion.cmake), on
// scratch git repositories: every later commit gives a version that dpkg and apt take for
// newer, and sources without a history of their own still give one that says so.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "Execute.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

namespace {

std::string Str(const QString& s) {
    return s.toStdString();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A repository of its own in a scratch folder, committing as nobody in particular.
class Repository {
public:
    explicit Repository(const QString& path) : path_(path) {}

    bool Init() {
        return QDir().mkpath(path_) && Git({"init", "-q"}) &&
               Git({"config", "user.name", "Bench"}) &&
               Git({"config", "user.email", "bench@example.invalid"}) &&
               Write(path_ + "/.gitignore", "/build/\n");
    }

    bool Commit(const QString& file, const QByteArray& text) {
        return Write(path_ + "/" + file, text) && Git({"add", "-A"}) &&
               Git({"commit", "-q", "-m", "A change"});
    }

    bool Git(const QStringList& args) {
        last_ = Execute("git", QStringList{"-C", path_} + args);
        return last_.exitCode == 0;
    }

    QString Said() const { return last_.output.trimmed(); }
    const QString& Path() const { return path_; }

private:
    QString path_;
    Ran last_;
};

// What the build's script makes of the sources in `folder`; the empty text when it failed.
struct Version {
    QString version;
    QString said; // what the script told the build
};

Version VersionOf(const QString& folder, const QString& scratch) {
    const QString file = scratch + "/package-version";
    QFile::remove(file);
    const Ran script = Execute(CMAKE_PROGRAM, {"-DSOURCE_DIR=" + folder, "-DPROGRAM_VERSION=1.0.0",
                                               "-DVERSION_FILE=" + file, "-P",
                                               SOURCE_DIR "/packaging/PackageVersion.cmake"});
    QFile written(file);
    if (script.exitCode != 0 || !written.open(QIODevice::ReadOnly)) return {{}, script.output};
    return {QString::fromUtf8(written.readAll()).trimmed(), script.output};
}

// dpkg's order, which apt follows.
bool Newer(const QString& later, const QString& earlier) {
    return Execute("dpkg", {"--compare-versions", later, "gt", earlier}).exitCode == 0;
}

class PackageVersion : public ::testing::Test {
protected:
    void SetUp() override {
        if (Execute("git", {"--version"}).exitCode != 0) GTEST_SKIP() << "git is not installed";
        ASSERT_TRUE(scratch_.isValid());
    }

    QTemporaryDir scratch_;
};

TEST_F(PackageVersion, EveryLaterCommitIsNewerAndUncommittedChangesSaySo) {
    Repository repo(scratch_.filePath("sources"));
    ASSERT_TRUE(repo.Init()) << Str(repo.Said());
    const QString scratch = scratch_.path();

    // Not a commit yet: no history to count.
    EXPECT_EQ(Str(VersionOf(repo.Path(), scratch).version), "1.0.0+0.nogit");

    ASSERT_TRUE(repo.Commit("main.cpp", "int main() {}\n")) << Str(repo.Said());
    ASSERT_TRUE(repo.Git({"rev-parse", "--short", "HEAD"}));
    const QString first = VersionOf(repo.Path(), scratch).version;
    EXPECT_EQ(Str(first), Str("1.0.0+git1." + repo.Said()));
    // The packages of plain 1.0.0 that came before are older.
    EXPECT_TRUE(Newer(first, "1.0.0")) << Str(first);

    ASSERT_TRUE(repo.Commit("main.cpp", "int main() { return 0; }\n"));
    const QString second = VersionOf(repo.Path(), scratch).version;
    EXPECT_TRUE(Newer(second, first)) << Str(second) << " after " << Str(first);

    // What a build folder holds (ignored) changes nothing; a changed or a new file does.
    ASSERT_TRUE(QDir().mkpath(repo.Path() + "/build"));
    ASSERT_TRUE(Write(repo.Path() + "/build/calbrix", "built"));
    EXPECT_EQ(Str(VersionOf(repo.Path(), scratch).version), Str(second));
    ASSERT_TRUE(Write(repo.Path() + "/main.cpp", "int main() { return 1; }\n"));
    const QString changed = VersionOf(repo.Path(), scratch).version;
    EXPECT_EQ(Str(changed), Str(second + ".dirty"));
    ASSERT_TRUE(repo.Git({"checkout", "--", "main.cpp"}));
    ASSERT_TRUE(Write(repo.Path() + "/New sample.txt", "1 97\n"));
    EXPECT_EQ(Str(VersionOf(repo.Path(), scratch).version), Str(second + ".dirty"));

    // Once committed, the change is newer than its uncommitted build.
    ASSERT_TRUE(repo.Commit("main.cpp", "int main() { return 1; }\n"));
    const QString third = VersionOf(repo.Path(), scratch).version;
    EXPECT_TRUE(Newer(third, changed)) << Str(third) << " after " << Str(changed);

    // A commit on another branch from the first one counts its own history.
    ASSERT_TRUE(repo.Git({"checkout", "-q", "-b", "other", "HEAD~2"}));
    ASSERT_TRUE(repo.Commit("other.cpp", "\n"));
    EXPECT_TRUE(Newer(VersionOf(repo.Path(), scratch).version, first));
}

// Sources without a history of their own build all the same, with a version that sorts below
// every build that knows its history, and says why.
TEST_F(PackageVersion, SourcesWithoutTheirHistoryGetAVersionBelowEveryCountedOne) {
    Repository repo(scratch_.filePath("sources"));
    ASSERT_TRUE(repo.Init());
    ASSERT_TRUE(repo.Commit("main.cpp", "int main() {}\n"));
    ASSERT_TRUE(repo.Commit("main.cpp", "int main() { return 0; }\n"));
    ASSERT_TRUE(repo.Git({"rev-parse", "--short", "HEAD"}));
    const QString hash = repo.Said();
    const QString scratch = scratch_.path();
    const QString counted = VersionOf(repo.Path(), scratch).version;
    ASSERT_EQ(Str(counted), Str("1.0.0+git2." + hash));

    // A copy without .git, and one inside the folder of another project's checkout: the
    // history around it is not theirs.
    const QString copy = scratch_.filePath("copy");
    ASSERT_TRUE(QDir().mkpath(copy));
    ASSERT_TRUE(QFile::copy(repo.Path() + "/main.cpp", copy + "/main.cpp"));
    const QString inside = repo.Path() + "/vendor/calbrix";
    ASSERT_TRUE(QDir().mkpath(inside));
    // A shallow clone cannot count.
    const QString shallow = scratch_.filePath("shallow");
    ASSERT_EQ(
        Execute("git", {"clone", "-q", "--depth", "1", "file://" + repo.Path(), shallow}).exitCode,
        0);

    const struct {
        const char* what;
        QString folder;
        QString version;
    } cases[] = {
        {"a copy of the sources", copy, "1.0.0+0.nogit"},
        {"sources inside another checkout", inside, "1.0.0+0.nogit"},
        {"a shallow clone", shallow, "1.0.0+git0." + hash + ".shallow"},
    };
    for (const auto& c : cases) {
        const QString version = VersionOf(c.folder, scratch).version;
        EXPECT_EQ(Str(version), Str(c.version)) << c.what;
        EXPECT_TRUE(Newer(counted, version)) << c.what << ": " << Str(version);
        EXPECT_TRUE(Newer(version, "1.0.0")) << c.what << ": " << Str(version);
    }
}

// A checkout that git refuses to read (another user's folder) builds, and the build says why
// the version knows no commit.
TEST_F(PackageVersion, AHistoryGitRefusesIsNamedInTheBuild) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give the checkout to another user";
    Repository repo(scratch_.filePath("sources"));
    ASSERT_TRUE(repo.Init());
    ASSERT_TRUE(repo.Commit("main.cpp", "int main() {}\n"));
    ASSERT_EQ(Execute("chown", {"-R", "nobody", repo.Path()}).exitCode, 0);

    const Version refused = VersionOf(repo.Path(), scratch_.path());
    EXPECT_EQ(Str(refused.version), "1.0.0+0.nogit");
    EXPECT_TRUE(refused.said.contains("git cannot read the history")) << Str(refused.said);
    EXPECT_TRUE(refused.said.contains("dubious ownership")) << Str(refused.said);
}

} // namespace
