// Replaced by the first window.
