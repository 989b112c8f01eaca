// The translator program with a script: once its window is up it translates
// "Hello" into Spanish, starting the built-in service as a user's first
// translation does, prints the status line (or what went wrong) and runs on
// until it is ended.
#include "ScriptedPrompts.h"
#include "WindowDriver.h"
#include "MainWindow.h"
#include "TranslationController.h"
#include "TranslatorMain.h"

#include <QComboBox>
#include <QTextEdit>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    std::unique_ptr<ScriptedPrompts> prompts;
    return translatorMain(argc, argv, [&prompts](MainWindow& form) {
        prompts = std::make_unique<ScriptedPrompts>();  // no dialog waits for a hand here
        ui(form).sourcePane()->setPlainText(QStringLiteral("Hello"));
        ui(form).targetList()->setCurrentIndex(3);  // Spanish
        QObject::connect(&form.translation(), &TranslationController::ended, &form, [&form, &prompts] {
            const QStringList said = prompts->messages + prompts->errors;
            std::printf("%s\n", qPrintable(said.isEmpty() ? form.statusText() : said.join(u' ')));
            std::fflush(stdout);
        });
        form.translateOrStop();
    });
}
