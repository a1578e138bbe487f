#pragma once

// Where a program's printed lines go (help, version, mistakes, the web
// remote's address). On Windows a GUI program gets no console: the lines go
// to the standard handles it was given (a pipe, a file), else to the console
// of the program that started it. Lines end with "\n" on every system, so
// what the programs print is the same bytes everywhere.
void PrepareConsoleOutput();
