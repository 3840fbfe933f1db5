// Dialog templates of the utility tests.
#pragma once

#define IDD_TEST_PAGE_A 1009
#define IDD_TEST_PAGE_B 1010
#define IDD_TEST_LAYOUT 2001
#define IDD_TEST_GALLERY 2002
