// SPDX-License-Identifier: GPL-3.0-or-later
// Each save the operator makes, timed through the console's own windows: the general settings, the
// connection, the profile editor and a chart switch, on a file as the console writes it and on a
// 50 MB one (a log pasted into it), with how many times each save changed the file.
#include "app/Application.h"
#include "bench/Repeated.h"
#include "config/AppPaths.h"
#include "tests/support/FileChanges.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int kRepeats = 9;
constexpr qint64 kBigFile = 50LL * 1024 * 1024;

QByteArray consoleFile() {
    QByteArray text = "[Connect]\nComport=Com1\nBaudRate=19200\n\n[Global]\n"
                      "EditP2=70\nEditpGain=40\nEditiGain=5\nEditdGain=10\nEditTpid=20\n"
                      "EditpBH=80\nEditkBH=10\nEditP1=80\nCorrect1=0\nCorrect2=0\nHex=0\n"
                      "VisibleProfil=1\nTempEnableFan=150\nEnableFan=0\nAutoStart=1\n";
    for (int p = 0; p < 10; ++p)
        text += QStringLiteral("\n[Profil%1]\nT0=100\nTB=150\nT1=170\nS1=60\nT3=230\nS3=30\n"
                               "Name=Профиль %1\n")
                    .arg(p)
                    .toUtf8();
    return text;
}

// The console's file with a log pasted into section Global by mistake: lines
// of the kind a serial monitor writes, many of them with '='.
QByteArray bigFile() {
    QByteArray log;
    log.reserve(kBigFile + 128);
    for (int line = 0; log.size() < kBigFile; ++line)
        log += QStringLiteral("2024-05-01 12:%1:%2.%3 rx frame %4: top=%5 bottom=%6 "
                              "состояние ОК\n")
                   .arg(line / 60000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(line / 1000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(line % 1000, 3, 10, QLatin1Char('0'))
                   .arg(line)
                   .arg(150 + line % 90)
                   .arg(100 + line % 50)
                   .toUtf8();
    QByteArray file = consoleFile();
    file.insert(file.indexOf("AutoStart=1\n") + 12, log);
    return file;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

void setText(const QObject& window, const QString& field, const QString& text) {
    window.findChild<QLineEdit*>(field)->setText(text);
}

// Opens `dialog` with `open` and, inside its modal run, fills it with
// `prepare` and times the press of `button`: the save as the operator waits
// for it. Returns the milliseconds.
double timedSave(const std::function<void()>& open, QDialog& dialog,
                 const std::function<void()>& prepare, const char* button) {
    double ms = 0;
    QTimer::singleShot(0, &dialog, [&] {
        prepare();
        QElapsedTimer timer;
        timer.start();
        dialog.findChild<QPushButton*>(QLatin1String(button))->click();
        ms = double(timer.nsecsElapsed()) / 1e6;
        if (dialog.isVisible())
            dialog.done(QDialog::Rejected);
    });
    open();
    return ms;
}

struct Bench {
    app::Windows& w;
    testsupport::FileChanges& changes;
    int changeCount = 0;

    void trigger(const char* action) {
        w.Form1.findChild<QAction*>(QLatin1String(action))->trigger();
    }

    double general(int round) {
        return timedSave([this] { trigger("N3"); }, w.Form2,
                         [&] {
                             setText(w.Form2, QStringLiteral("EditpGain"),
                                     QString::number(100 + round));
                             setText(w.Form2, QStringLiteral("Edit1"), QString::number(-round));
                         },
                         "SaveForms");
    }

    double connection(int round) {
        return timedSave(
            [this] { w.Form1.findChild<QPushButton*>(QStringLiteral("Button2"))->click(); },
            w.Form4,
            [&] {
                w.Form4.findChild<QComboBox*>(QStringLiteral("ComboBox1"))
                    ->setCurrentIndex(round % 6);
                w.Form4.findChild<QComboBox*>(QStringLiteral("ComboBox2"))
                    ->setCurrentIndex(round % 7);
            },
            "SaveForms");
    }

    // Every value and every name new, so that each of the 70 keys changes.
    double editor(int round) {
        return timedSave([this] { trigger("N4"); }, w.Form6,
                         [&] {
                             for (int field = 1; field <= 60; ++field)
                                 setText(w.Form6, QStringLiteral("Edit%1").arg(field),
                                         QString::number((round * 7 + field) % 1000));
                             for (int p = 0; p < 10; ++p)
                                 setText(w.Form6, QStringLiteral("Edit%1").arg(61 + p),
                                         QStringLiteral("Профиль %1, проход %2").arg(p).arg(round));
                         },
                         "Button1");
    }

    double chartSwitch(int) {
        QElapsedTimer timer;
        timer.start();
        trigger("ActionShowTargets");
        return double(timer.nsecsElapsed()) / 1e6;
    }

    void report(const char* what, int repeats, double (Bench::*save)(int)) {
        changes.take();
        int changed = 0;
        bench::reportTimes(what, repeats, [&](int round) {
            const double ms = (this->*save)(round);
            changed += changes.take();
            return ms;
        });
        std::printf("%-44s %d changes of the file in %d saves\n", "", changed, repeats);
    }
};

void run(const QString& path, int repeats) {
    app::Windows windows;
    windows.Form1.show();
    QCoreApplication::processEvents();
    testsupport::FileChanges changes(QFileInfo(path).path(), QFileInfo(path).fileName());
    Bench b{windows, changes};
    b.report("general settings save (15 keys)", repeats, &Bench::general);
    b.report("connection save (2 keys)", repeats, &Bench::connection);
    b.report("profile editor save (70 keys)", repeats, &Bench::editor);
    b.report("chart switch (1 key)", repeats, &Bench::chartSwitch);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::prepareApplication(application);
    // A folder given on the command line (another disk, a tmpfs) is used instead
    // of the temporary folder; a second argument is how many saves of each kind
    // are made on the 50 MB file (0 leaves it out).
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int bigRepeats = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    QTemporaryDir dir(base + QStringLiteral("/dialogsaves_bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const config::ScopedAppDirectoryOverride here(dir.path());
    const QString path = config::settingsFilePath();
    std::printf("settings file in %s, build %s\n", qPrintable(dir.path()), IRCONSOLE_BUILD_TYPE);

    if (!writeFile(path, consoleFile()))
        return 1;
    std::printf("file of %lld bytes, %d saves each\n", qlonglong(QFileInfo(path).size()), kRepeats);
    run(path, kRepeats);

    if (bigRepeats > 0) {
        if (!writeFile(path, bigFile()))
            return 1;
        std::printf("file of %lld bytes (a log pasted into Global), %d saves each\n",
                    qlonglong(QFileInfo(path).size()), bigRepeats);
        run(path, bigRepeats);
    }
    return 0;
}
