/* Orvalle's skin: a Qt style sheet applied to the start window.
   Every colour comes from the palette, so the skin follows the desktop's
   theme and keeps the button-face colour behind the window and its frames. */

QLabel,
QCheckBox,
QRadioButton {
    background-color: palette(button);
}

QGroupBox {
    background-color: palette(button);
    border: 1px solid palette(mid);
    border-radius: 4px;
    margin-top: 14px;
    padding: 8px 6px 6px 6px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 4px;
    background-color: palette(button);
}

QPushButton {
    background-color: palette(button);
    color: palette(button-text);
    border: 1px solid palette(mid);
    border-radius: 4px;
    /* The windows place their buttons at fixed sizes: keep the captions room. */
    padding: 1px 2px;
}

QPushButton:hover {
    background-color: palette(light);
    border-color: palette(dark);
}

QPushButton:pressed {
    background-color: palette(midlight);
    border-color: palette(shadow);
}

QPushButton:focus {
    border-color: palette(highlight);
}

QPushButton:disabled {
    color: palette(mid);
}

QLineEdit,
QListWidget {
    background-color: palette(base);
    color: palette(text);
    border: 1px solid palette(mid);
    border-radius: 3px;
    selection-background-color: palette(highlight);
    selection-color: palette(highlighted-text);
}

QLineEdit {
    padding: 2px 4px;
}

QLineEdit:focus,
QListWidget:focus {
    border-color: palette(highlight);
}

QListWidget::item {
    padding: 2px 4px;
}
