// The program's entry point.

#include "app/Startup.h"

int main(int argc, char** argv)
{
    return orvel::Main(argc, argv);
}
