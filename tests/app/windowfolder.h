// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the window tests: a folder of the test's own, stored settings,
// the log bar's fields and the dialogs a command opens.
#pragma once

#include "app/mainwindow.h"
#include "core/apppaths.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "logbook/hamlog.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "text/controlbarex.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSettings>
#include <QSizeGrip>
#include <QTest>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>

// A folder of a test's own for a whole main window: the settings file and
// the written files in it, the Morse table in its "data" subfolder. Returns
// the data folder, or an empty string when it could not be laid out.
inline QString prepareWindowFolder(const QTemporaryDir& dir)
{
    if (!dir.isValid())
        return QString();
    Settings::setPath(dir.filePath(QStringLiteral("Velkora32.ini")));
    // Qt's own settings (the file dialog's history) stay out of the home folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString data = dir.filePath(QStringLiteral("data"));
    if (!QDir().mkpath(data)
        || !QFile::copy(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"),
                        data + QStringLiteral("/ENG.cwt")))
        return QString();
    AppPaths::setDataDirectory(data);
    AppPaths::setWritableDirectory(dir.path());
    return data;
}

namespace WindowTest {

inline void store(const QVariantMap& values)
{
    Settings s;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        s.setValue(it.key(), it.value());
}

// The command named text in the window's menu titled menuTitle.
inline QAction* command(MainWindow& w, const QString& menuTitle, const QString& text)
{
    for (QAction* m : w.menuBar()->actions())
        for (QAction* a : m->menu() && m->text() == menuTitle ? m->menu()->actions() : QList<QAction*>())
            if (a->text() == text)
                return a;
    return nullptr;
}

inline QLineEdit* field(MainWindow& w, const char* name) { return w.logBar()->findChild<QLineEdit*>(QLatin1String(name)); }

inline bool inLayout(const QLayout* layout, QWidget* w)
{
    for (int i = 0; layout && i < layout->count(); ++i)
        if (layout->itemAt(i)->widget() == w || inLayout(layout->itemAt(i)->layout(), w))
            return true;
    return false;
}

// Every control shown in container sits in its layout: in it, within the
// container and clear of its neighbours. Every dialog a window test answers
// is checked so.
inline void laidOut(QWidget* container)
{
    QList<QWidget*> shown;
    for (QWidget* c : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c->isVisible() && !c->isWindow() && !qobject_cast<QSizeGrip*>(c))
            shown << c;
    const auto name = [](QWidget* c) { return c->objectName() + u' ' + c->metaObject()->className(); };
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QVERIFY2(!container->layout() || inLayout(container->layout(), shown[i]), qPrintable(name(shown[i]) + QStringLiteral(" not in the layout")));
        QVERIFY2(container->rect().contains(shown[i]->geometry()), qPrintable(name(shown[i])));
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                     qPrintable(name(shown[i]) + QStringLiteral(" over ") + name(shown[j])));
    }
}

// OK as the user gives it: the button box's OK button, which also shows that
// it is wired to the dialog; accept() where the dialog has no such button.
inline void pressOk(QDialog* d)
{
    auto* box = d->findChild<QDialogButtonBox*>();
    if (QPushButton* ok = box ? box->button(QDialogButtonBox::Ok) : nullptr)
        ok->click();
    else
        d->accept();
}

// Runs open(), hands the modal dialog it brings up to answer (one without a
// title fails), waits until it is gone and makes the window that was active
// active again (the offscreen platform gives the focus back to no one).
inline void withDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& answer)
{
    QWidget* active = QApplication::activeWindow();
    bool answered = false;
    QString title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()); d && !answered)
            answered = true, title = d->windowTitle(), laidOut(d), answer(d);
    });
    poll.start(20);
    open();
    QTRY_VERIFY_WITH_TIMEOUT(answered && !title.isEmpty(), 5000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    if (active) {
        QApplication::setActiveWindow(active);
        QTRY_VERIFY(active->isActiveWindow());
    }
}

} // namespace WindowTest
