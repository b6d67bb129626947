// Running ps, lpstat and cancel: exit codes, output, time-outs, and what the started tool
// inherits from a caller that runs threads and holds descriptors of its own.
#include "commandrunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool NoChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

} // namespace

class TestCommandRunner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void exitCodesAndFailures()
    {
        QCOMPARE(RunCommand("true", {}), 0);
        QCOMPARE(RunCommand("sh", {"-c", "exit 7"}), 7);
        QCOMPARE(RunCommand("sh", {"-c", "kill -TERM $$"}), -1); // died of a signal
        QCOMPARE(RunCommand("ovra-no-such-tool", {}), -1);
        QCOMPARE(RunCommandToFile("ovra-no-such-tool", {}, m_dir.filePath("none")), -1);
        QVERIFY(RunCommandOutput("ovra-no-such-tool", {}).isEmpty());
        QVERIFY(NoChildLeft());
    }

    void outputIntoAFileMadeAfresh()
    {
        const QString path = m_dir.filePath("out");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older and much longer content\n");
        old.close();
        QCOMPARE(RunCommandToFile("sh", {"-c", "echo \"$1\"; echo error >&2", "sh", "two words; $(x)"}, path), 0);
        QCOMPARE(ReadFile(path), QByteArray("two words; $(x)\n")); // errors discarded
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0600u);

        // A link planted where the output goes is replaced, its target left alone.
        const QString target = m_dir.filePath("target");
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::remove(path) && QFile::link(target, path));
        QCOMPARE(RunCommandToFile("echo", {"x"}, path), 0);
        QCOMPARE(ReadFile(target), QByteArray());
        QCOMPARE(ReadFile(path), QByteArray("x\n"));
        QCOMPARE(RunCommandToFile("echo", {"x"}, m_dir.filePath("missing/out")), -1);
    }

    void outputThroughAPipe()
    {
        QCOMPARE(RunCommandOutput("sh", {"-c", "echo out; echo err >&2; exit 3"}), QByteArray("out\n"));
        // More than a pipe holds, so the reader must drain while the tool still writes.
        const QByteArray big = RunCommandOutput("head", {"-c", "3000000", "/dev/zero"});
        QCOMPARE(big.size(), 3000000);
        QVERIFY(NoChildLeft());
    }

    void timeOutKillsAndCollects()
    {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(RunCommand("sleep", {"20"}, 300), -1);
        QCOMPARE(RunCommandToFile("sleep", {"20"}, m_dir.filePath("slow"), 300), -1);
        QVERIFY(RunCommandOutput("sh", {"-c", "echo partial; exec sleep 20"}, 300).isEmpty());
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(NoChildLeft());
        QCOMPARE(RunCommand("sleep", {"0.2"}, 5000), 0);
    }

    void toolStartsClean()
    {
        // A broken pipe ends the tool even when the caller ignores SIGPIPE, blocked signals
        // are not inherited, and no descriptor of the caller reaches the tool.
        std::signal(SIGPIPE, SIG_IGN);
        sigset_t blocked, old;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &blocked, &old);
        const int held = ::open("/dev/null", O_RDONLY); // not close-on-exec
        const QByteArray seen = RunCommandOutput("grep", {"-E", "^(SigIgn|SigBlk)", "/proc/self/status"});
        const QByteArray descriptors = RunCommandOutput("ls", {"-1v", "/proc/self/fd"});
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        std::signal(SIGPIPE, SIG_DFL);
        ::close(held);
        QVERIFY2(seen.contains("SigBlk:\t0000000000000000"), seen.constData());
        const int ign = seen.indexOf("SigIgn:\t");
        QVERIFY2(ign >= 0, seen.constData());
        const qulonglong ignored = seen.mid(ign + 8, 16).toULongLong(nullptr, 16);
        QVERIFY2(!(ignored & (1ull << (SIGPIPE - 1))), seen.constData());
        QCOMPARE(descriptors, QByteArray("0\n1\n2\n3\n")); // 3 is ls's own listing
    }

    void threadsGetTheirOwnOutput()
    {
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 25; ++i) {
                    const QString word = QString("t%1-%2").arg(t).arg(i);
                    const QString path = m_dir.filePath(word);
                    if (RunCommandToFile("echo", {word}, path) != 0 || ReadFile(path) != word.toUtf8() + "\n")
                        ++wrong;
                    if (RunCommandOutput("echo", {word}) != word.toUtf8() + "\n")
                        ++wrong;
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(wrong.load(), 0);
        QVERIFY(NoChildLeft());
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
