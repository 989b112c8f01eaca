#include "HelpLinks.h"

#include "Shell.h"
#include "Site.h"
#include "UserPrompts.h"

#include <QCoreApplication>

namespace HelpLinks {

void open(const QString& page)
{
    const Shell::Outcome opened = Shell::run(Site::address(page), {}, false, QString());
    if (!opened.finished())
        UserPrompts::instance().message(opened.problem, UserPrompts::Kind::Warning,
                                        QCoreApplication::applicationName());
}

}  // namespace HelpLinks
