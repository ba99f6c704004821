// Keeps the library non-empty until the drawing routines land.
namespace tl {
void UiLibraryAnchor() {}
} // namespace tl
