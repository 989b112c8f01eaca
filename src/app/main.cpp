// linguaro: the translator's main window.

#include "DisplayPlatform.h"
#include "TranslatorMain.h"

int main(int argc, char** argv)
{
    // the character's windows need a platform that lets them stand where they are put, on top
    PreferX11OnWayland(argc, argv);
    return TranslatorMain(argc, argv);
}
