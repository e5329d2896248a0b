// Settings: profile file, property storage, form placement and storage.
namespace vumo::settings {}
