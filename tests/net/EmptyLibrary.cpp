// A shared library that carries no socket calls and, linked without the
// C library, cannot borrow them from a dependency either. The stack must
// refuse to start over it.
extern "C" {
int zuvo_net_empty_library_marker = 1;
}
