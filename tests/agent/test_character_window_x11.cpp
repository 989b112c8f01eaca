// Under a real X server (Xvfb, started here): a click beside the figure goes
// through the character's window to the window below, a click on the figure
// does not. Skips (exit code 77) when Xvfb or xdotool is not installed.

#include "CharacterCore.h"
#include "CharacterWindow.h"
#include "InstalledAgent.h"
#include "CharacterStage.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <cstdio>

namespace {

const QString Xvfb = QStringLiteral("/usr/bin/Xvfb");
const QString Xdotool = QStringLiteral("/usr/bin/xdotool");

// A plain window that notes where it was pressed.
class Backdrop : public QWidget {
public:
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses << event->globalPosition().toPoint(); }
};

// Clicks through the X server, as a user would.
void click(QPoint at, int repeat = 1)
{
    const int code =
        QProcess::execute(Xdotool, {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                    QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat),
                                    QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
    QCOMPARE(code, 0);
}

}  // namespace

class TestCharacterWindowX11 : public QObject {
    Q_OBJECT
private slots:
    void clicksBesideTheFigureGoThrough();
};

void TestCharacterWindowX11::clicksBesideTheFigureGoThrough()
{
    InstalledAgent windows;
    windows.install(QStringLiteral("Merlin"));
    Backdrop backdrop;
    backdrop.setGeometry(0, 0, 640, 600);
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));

    CharacterStage agent;
    QStringList events;
    agent.OnDblClick = [&](const QString& id) { events << id; };
    agent.setConnected(true);
    agent.load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
    AgentCharacter* merlin = agent.character(QStringLiteral("Merlin"));
    CharacterWindow* window = agent.window(QStringLiteral("Merlin"));
    merlin->moveTo(200, 200, 0);
    merlin->show(true);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE(window->geometry().topLeft(), window->windowPositionFor(QPoint(200, 200)));

    const QPoint beside = window->mapToGlobal(window->figureRect().topLeft() + QPoint(4, 20));
    const QPoint onFigure = window->mapToGlobal(window->figureRect().topLeft() + QPoint(68, 70));
    QVERIFY(window->geometry().contains(beside));
    click(beside);
    QTRY_COMPARE(backdrop.presses.size(), 1);
    QCOMPARE(backdrop.presses.first(), beside);

    click(onFigure, 2);
    QTRY_COMPARE(events, QStringList{"Merlin"});
    QCOMPARE(backdrop.presses.size(), 1);
}

int main(int argc, char** argv)
{
    if (!QFileInfo(Xvfb).isExecutable() || !QFileInfo(Xdotool).isExecutable()) {
        std::printf("SKIP: Xvfb or xdotool is not installed\n");
        return 77;
    }
    // a display number no other server uses
    QProcess server;
    for (int display = 91; display < 160 && server.state() != QProcess::Running; ++display) {
        const QString name = QStringLiteral(":%1").arg(display);
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        server.start(Xvfb, {name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server.waitForStarted())
            continue;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        QDeadlineTimer deadline(10000);
        while (server.state() == QProcess::Running && !QFileInfo::exists(socket) && !deadline.hasExpired())
            server.waitForFinished(50);
        if (server.state() == QProcess::Running && QFileInfo::exists(socket)) {
            qputenv("DISPLAY", name.toLatin1());
            break;
        }
        server.kill();
        server.waitForFinished();
    }
    if (server.state() != QProcess::Running) {
        std::printf("SKIP: no Xvfb server could be started\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        TestCharacterWindowX11 test;
        result = QTest::qExec(&test, argc, argv);
    }
    server.terminate();
    server.waitForFinished();
    return result;
}

#include "test_character_window_x11.moc"
