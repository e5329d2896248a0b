// Viewer shell.
namespace vumo::shell {}
