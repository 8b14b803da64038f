// app/main.cpp - the program entry. The show takes nothing from its command line.
#include "app/launcher.h"

int main(int, char**) { return RunProgram(); }
