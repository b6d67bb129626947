#pragma once

// True when an argument after the program name is "-hide", in any letter case.
bool CheckIsHide(int argc, char* argv[]);
