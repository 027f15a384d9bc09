#include "forms/bwnVeltrane.h"

void bwnVeltrane_Initialize() {}
void bwnVeltrane_Finalize() {}
