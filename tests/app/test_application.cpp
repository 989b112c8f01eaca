#include "LinguaroApplication.h"
#include "ScriptedPrompts.h"

#include <QPushButton>
#include <QtTest>

#include <stdexcept>

// Errors that escape a handler end at the application object and become the error report.
class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void handlerErrorBecomesTheErrorReport()
    {
        ScriptedPrompts prompts;
        QPushButton button("Go");
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&clicks] {
            ++clicks;
            throw std::runtime_error("The disk is full.");
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
        QCOMPARE(prompts.errors, QStringList({"The disk is full."}));

        // the application goes on: the next event is handled as usual
        connect(&button, &QPushButton::pressed, [&clicks] { clicks += 10; });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 12);
        QCOMPARE(prompts.errors.size(), 2);
    }

    void errorWithoutAMessage()
    {
        ScriptedPrompts prompts;
        QObject target;
        QTimer::singleShot(0, &target, [] { throw 42; });
        QTRY_COMPARE(prompts.errors, QStringList({"An unexpected error occurred."}));
    }
};

int main(int argc, char** argv)
{
    LinguaroApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
