#include "sim/launcher.h"

int main(int argc, char* argv[])
{
    return sim::RunLauncher(argc, argv);
}
