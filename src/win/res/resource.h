#pragma once
// Resource identifiers of the program.
#define IDI_APP 1
#define IDS_DESCRIPTION 1
#define IDR_BACKGROUND 101
#define IDR_PREVIEW 102
