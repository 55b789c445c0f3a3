// Resource ids of the widget tests' own resources.
#pragma once

#define IDR_TEST_TOOLBAR 900
#define IDR_TEST_MENU    901

#define ID_TEST_OPEN     40001
#define ID_TEST_BLUE     40002
#define ID_TEST_EXIT     40003
