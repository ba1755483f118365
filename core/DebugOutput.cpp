#include "core/DebugOutput.h"

#include <cstdio>

void writeDebugOutput(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}
