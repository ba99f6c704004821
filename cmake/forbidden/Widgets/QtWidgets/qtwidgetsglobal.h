// Every Qt Widgets header includes this one first. Code built with
// tensiolog_forbid_qt() finds this file before Qt's own, so that including
// any widget header fails the build.
#error "Qt Widgets is not to be used here: this code builds with Qt Core only."
