#include "platform/qt/RealProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform {

namespace {

constexpr int DBusTimeoutMs = 2000;

// Lowers the nice value of one thread to the target unless it is already there or lower.
bool RaiseThread(id_t tid, int target) {
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (current == -1 && errno != 0) return false;
    if (current <= target) return true;
    return setpriority(PRIO_PROCESS, tid, target) == 0;
}

QString WhoIsAsking() {
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

QString WhyAwake() {
    return QStringLiteral("Cable tester running");
}

} // namespace

RealProcess::~RealProcess() {
    if (sleepInhibitFd_ >= 0) ::close(sleepInhibitFd_);
}

bool RealProcess::RaisePriority(PriorityClass priority) {
    const int target = priority == PriorityClass::Realtime ? -20 : -10;
    // Linux keeps a nice value per thread: raise the caller, then the threads already running
    // (threads started later inherit the caller's).
    const auto self = static_cast<id_t>(gettid());
    if (!RaiseThread(self, target)) return false;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        unsigned long tid = 0;
        const auto parsed = std::from_chars(name.data(), name.data() + name.size(), tid);
        // A thread that ended meanwhile is no failure.
        if (parsed.ec == std::errc{} && tid != self) RaiseThread(static_cast<id_t>(tid), target);
    }
    return true;
}

bool RealProcess::KeepAwake() {
    if (!screenSaverInhibited_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.ScreenSaver"),
                QStringLiteral("/org/freedesktop/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
            call << WhoIsAsking() << WhyAwake();
            // The screen saver drops the inhibition when our bus connection closes.
            screenSaverInhibited_ =
                bus.call(call, QDBus::Block, DBusTimeoutMs).type() == QDBusMessage::ReplyMessage;
        }
    }
    if (sleepInhibitFd_ < 0) {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
            call << QStringLiteral("sleep:idle") << WhoIsAsking() << WhyAwake()
                 << QStringLiteral("block");
            const QDBusMessage reply = bus.call(call, QDBus::Block, DBusTimeoutMs);
            // logind holds the lock while the descriptor it handed out stays open.
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                const auto fd = reply.arguments().front().value<QDBusUnixFileDescriptor>();
                if (fd.isValid()) sleepInhibitFd_ = ::dup(fd.fileDescriptor());
            }
        }
    }
    return screenSaverInhibited_ || sleepInhibitFd_ >= 0;
}

bool RealProcess::StartProgram(const std::string& path, const std::string& arguments) {
    QProcess process;
    process.setProgram(QString::fromStdString(path));
    if (!arguments.empty()) process.setArguments({QString::fromStdString(arguments)});
    // Our terminal's input is not the other program's to read.
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

bool RealProcess::OpenLink(const std::string& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(url)));
}

std::string RealProcess::ProgramFolder() {
    return QCoreApplication::applicationDirPath().toStdString() + "/";
}

std::vector<std::string> RealProcess::Arguments() {
    const QStringList all = QCoreApplication::arguments();
    std::vector<std::string> result;
    for (qsizetype i = 1; i < all.size(); ++i) result.push_back(all[i].toStdString());
    return result;
}

std::string RealProcess::DataRoot() {
    QString root = qEnvironmentVariable("CALBRIX_DATA_ROOT");
    if (root.isEmpty()) root = QDir::homePath();
    while (root.endsWith(QLatin1Char('/'))) root.chop(1);
    return root.toStdString();
}

} // namespace platform
