// An empty program that links one layer of the program, whole, with only the
// layers below it. It exists to fail the build when a lower layer calls into
// a higher one, which would leave a symbol undefined here.
int main() { return 0; }
