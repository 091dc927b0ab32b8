#pragma once
// Templates and control ids of the dialog base's tests.
#define IDD_TEST_MAIN 900
#define IDD_TEST_PAGE 901
#define IDC_TEST_EDIT 910
#define IDC_TEST_GO 911
#define IDC_TEST_PAGE_EDIT 912
