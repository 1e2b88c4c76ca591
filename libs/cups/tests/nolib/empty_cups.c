/* A library that answers to the name libcups.so.2 but holds none of the
 * printing library's functions: every binding fails as with no library. */
int empty_cups_marker = 1;
