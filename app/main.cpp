// UnitPack: the window for building unit packages.

#include "Application.h"

int main(int argc, char** argv)
{
    quorin::TApplication application(argc, argv);
    return quorin::RunUnitPack(application);
}
