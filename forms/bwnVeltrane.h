#pragma once
// The payment-scope confirmation window.

// Unit initialisation and finalisation, run by the module's load and unload sequence:
// registers the window class (and its ancestors) with the class registry.
void bwnVeltrane_Initialize();
void bwnVeltrane_Finalize();
