#pragma once

// The platform's debug-output channel. Desktop builds here have no debugger
// console, so the text goes to standard error.
void writeDebugOutput(const char* text);
