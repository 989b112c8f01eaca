// linguaro: the translator's main window.

#include "TranslatorMain.h"

int main(int argc, char** argv)
{
    return TranslatorMain(argc, argv);
}
