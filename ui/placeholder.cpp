// Replaced by the skinned user interface.
