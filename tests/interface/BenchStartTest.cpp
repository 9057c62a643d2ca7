// The real program with a bench file it cannot use: the message names the file and line on
// the error stream, and the program stops with a failure status instead of running a bench
// nobody asked for.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

TEST(ProgramStart, ABadBenchFileStopsWithItsFileAndLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("bad.bench").toStdString();
    std::ofstream(path) << "firmware 1.03\ntiming latency 1e300\n";

    QProcess program;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("CALBRIX_BENCH", QString::fromStdString(path));
    env.insert("CALBRIX_DATA_ROOT", dir.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(CALBRIX_PROGRAM, {});
    ASSERT_TRUE(program.waitForFinished(20000)) << "still running";

    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    const std::string errors = program.readAllStandardError().toStdString();
    EXPECT_NE(errors.find("bench file \"" + path +
                          "\", line 2: \"timing latency 1e300\": "
                          "\"1e300\" is not within 0..255"),
              std::string::npos)
        << errors;
}
