"""Deterministic generator of the Halcyra Screensaver's pictures, sound and preview."""
