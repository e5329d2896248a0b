// File browser: file list, folder drop-down and the Linux shell layer.
namespace vumo::browser {}
