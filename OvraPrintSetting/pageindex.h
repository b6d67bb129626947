// Indexes of the pages in the window's stack (also the argument of SgnChangeForm).
#pragma once

enum enPageIndex {
    en_Page_Home = 0,
    en_Page_Alignment = 1,
    en_Page_Clean = 2,
    en_Page_Net = 3,
    en_Page_Count
};
