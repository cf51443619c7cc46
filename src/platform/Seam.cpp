// Out-of-line anchors of the seam interfaces.
