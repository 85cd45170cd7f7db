#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <set>

#include "CsvReader.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "lang/Languages.h"
#include "platform/CancelHandle.h"
#include "shell/MainWindow.h"
#include "translation/TranslateForm.h"
#include "views/LogWindow.h"
#include "widgets/ErrorBox.h"

namespace {

using hv::MainWindow;

// Hosts in `up` answer; the set may change between passes.
struct Answers {
    std::mutex lock;
    std::set<std::string> up;
    void set(std::set<std::string> hosts) {
        std::lock_guard g(lock);
        up = std::move(hosts);
    }
};

class SetProbes : public hv::Probe {
public:
    explicit SetProbes(std::shared_ptr<Answers> a) : m_a(std::move(a)) {}
    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        return hv::ProbeOutcome(answer(target.host));
    }

private:
    bool answer(const std::string& host) {
        std::lock_guard g(m_a->lock);
        return m_a->up.count(host) > 0;
    }
    std::shared_ptr<Answers> m_a;
};

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = hvtest::layProgramFolder(dir);
        dir.write("Hostvane.ini",
                  "[HostList]\r\nMail, \"main\"=10.0.0.5\r\nWeb=http://web\r\n"
                  "[CheckParams]\r\nCheckPeriod=0\r\n[General]\r\nLanguage=English\r\n");
        hv::Languages::instance().setExecutable(exe);
        hv::Languages::instance().loadLanguage(false);
        hv::ErrorBox::setPresenter([this](const QString& t) { errors << t; });

        MainWindow::Options o;
        o.executablePath = exe;
        o.trayIcon = false;
        o.probes = [a = answers](const hv::CancelHandle&) {
            return std::make_unique<SetProbes>(a);
        };
        main = std::make_unique<MainWindow>(o);
        main->setWindows(&log, nullptr);
        main->monitor().checkCycle()->setPassFinished([this] { ++passes; });
    }
    void TearDown() override {
        main.reset();
        hv::ErrorBox::setPresenter(nullptr);
    }

    // Both hosts appear, then the mail server is lost.
    void twoPasses() {
        answers->set({"10.0.0.5", "web"});
        main->monitor().loadSettings();
        ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
        answers->set({"web"});
        main->monitor().trmAskTimer();
        ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 2; }));
    }

    // Chooses Log > Export with the dialog driven by `drive`; returns the folder the dialog
    // showed and the name it proposed.
    std::pair<QString, QString> exportThroughTheMenu(std::function<void(QFileDialog*)> drive) {
        QString folder, name;
        hvtest::onFileDialog([&](QFileDialog* d) {
            folder = d->directory().absolutePath();
            name = QFileInfo(d->selectedFiles().value(0)).fileName();
            title = d->windowTitle();
            drive(d);
        });
        main->miExportLog->trigger();
        return {folder, name};
    }

    hvtest::TempDir dir;
    QString exe;
    std::shared_ptr<Answers> answers = std::make_shared<Answers>();
    hv::LogWindow log;
    std::unique_ptr<MainWindow> main;
    std::atomic<int> passes{0};
    QStringList errors;
    QString title;
};

TEST_F(ExportTest, TheLogMenuOffersExportAfterSave) {
    hv::translateForm(main.get());
    QStringList names, texts;
    for (QAction* a : main->miLog->actions()) {
        names << a->objectName();
        texts << a->text();
    }
    EXPECT_EQ(names, QStringList({"miViewLog", "miSaveLog", "miExportLog"}));
    EXPECT_EQ(texts, QStringList({"View", "Save...", "Export..."}));
}

TEST_F(ExportTest, ExportWritesThisRunsChangesAsCsvBesideTheProgram) {
    twoPasses();
    const QString logBefore = log.text();
    const auto [folder, name] =
        exportThroughTheMenu([](QFileDialog* d) { static_cast<QDialog*>(d)->accept(); });
    EXPECT_EQ(title, "Export log...");
    EXPECT_EQ(folder, dir.path());
    EXPECT_TRUE(
        QRegularExpression(R"(^\d\d-\d\d-\d\d--\d\d-\d\d-\d{4}\.csv$)").match(name).hasMatch())
        << name.toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // Written whole through a temporary that is gone: the settings and program files, the
    // export and nothing else.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QStringList expected{name, "Hostvane.ini", "hostvane"};
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected);

    const QByteArray bytes = dir.read(name);
    const auto records = hvtest::readCsv(QString::fromUtf8(bytes));
    ASSERT_TRUE(records.has_value()) << bytes.toStdString();
    ASSERT_EQ(records->size(), 4) << bytes.toStdString();
    EXPECT_EQ(records->at(0), QStringList({"time", "title", "address", "event", "round_trip_ms"}));
    const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)");
    const QStringList want[] = {{"Mail, \"main\"", "10.0.0.5", "appeared"},
                                {"Web", "http://web", "appeared"},
                                {"Mail, \"main\"", "10.0.0.5", "lost"}};
    for (int i = 0; i < 3; ++i) {
        const QStringList& r = records->at(i + 1);
        ASSERT_EQ(r.size(), 5);
        EXPECT_TRUE(iso.match(r[0]).hasMatch()) << r[0].toStdString();
        EXPECT_EQ(r.mid(1, 3), want[i]);
        bool number = false;
        r[4].toDouble(&number);
        EXPECT_EQ(number, want[i][2] == "appeared") << r[4].toStdString();
    }
    // Each change carries the time of its log line (hours with or without their leading zero,
    // as the locale writes them).
    const QStringList logLines = log.text().split("\r\n").mid(2, 3);
    for (int i = 0; i < 3; ++i) {
        const QString hms = records->at(i + 1)[0].mid(11, 8);
        const QString bare = hms.startsWith(u'0') ? hms.mid(1) : hms;
        EXPECT_TRUE(logLines[i].startsWith(hms + ". ") || logLines[i].startsWith(bare + ". "))
            << logLines[i].toStdString() << " / " << hms.toStdString();
    }
    // The log window's text is what it was; it is no part of the export.
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(log.text().count("Host lost: Mail, \"main\""), 1);
}

TEST_F(ExportTest, ExportStartsInLogsAndCompletesABareName) {
    twoPasses();
    QDir(dir.path()).mkdir("logs");
    const auto [folder, name] = exportThroughTheMenu([&](QFileDialog* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText("changes");
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_EQ(folder, dir.file("logs"));
    EXPECT_EQ(QDir(dir.file("logs")).entryList(QDir::Files | QDir::Hidden),
              QStringList({"changes.csv"}));
    EXPECT_TRUE(
        dir.read("logs/changes.csv").startsWith("time,title,address,event,round_trip_ms\r\n"));
}

TEST_F(ExportTest, AFailedExportGoesToTheErrorBoxAndLosesNothing) {
    twoPasses();
    const QString target = dir.file("missing/x.csv");
    exportThroughTheMenu([&](QFileDialog* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(target);
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Cannot create file \"" + target + "\". No such file or directory.");
    EXPECT_FALSE(QDir(dir.file("missing")).exists());

    // The same changes go out on the next try; Cancel writes nothing.
    exportThroughTheMenu([&](QFileDialog* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(dir.file("again.csv"));
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_EQ(QString::fromUtf8(dir.read("again.csv")).count("\r\n"), 4);
    exportThroughTheMenu([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList({"*.csv"}, QDir::Files), QStringList({"again.csv"}));
}

}  // namespace
