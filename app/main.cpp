// Starts Quarvelo: the application object, the sound system, the one window, the message loop.
#include "application.h"
#include "fluidsynth_media_service.h"
#include "main_window.h"

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    FluidSynthMediaService service;
    TForm1 window(service);
    Form1 = &window;
    window.FormCreate();
    window.show();
    return app.exec();
}
