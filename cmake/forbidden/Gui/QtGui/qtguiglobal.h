// Every Qt GUI header includes this one first. Code built with
// tensiolog_forbid_qt() finds this file before Qt's own, so that including
// any GUI header fails the build.
#error "Qt GUI is not to be used here: this code builds with Qt Core only."
