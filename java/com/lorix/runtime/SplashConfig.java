package com.lorix.runtime;

/**
 * The splash text settings that servicelauncher hands over after creating
 * the JVM: a flag that says they were given, one further flag of the
 * launcher's configuration, and two text lines. Values are kept exactly as
 * passed; the launcher reads absent integers as 0.
 */
public final class SplashConfig {
    private final boolean enabled;
    private final boolean flag;
    private final TextLine firstLine;
    private final TextLine secondLine;

    SplashConfig(boolean enabled, boolean flag, TextLine firstLine, TextLine secondLine) {
        this.enabled = enabled;
        this.flag = flag;
        this.firstLine = firstLine;
        this.secondLine = secondLine;
    }

    public boolean isEnabled() {
        return enabled;
    }

    /** The configured boolean that the launcher passes along with the lines. */
    public boolean getFlag() {
        return flag;
    }

    public TextLine getFirstLine() {
        return firstLine;
    }

    public TextLine getSecondLine() {
        return secondLine;
    }

    /**
     * One text line: its text, its position, its colour as
     * "red,green,blue" decimal numbers, and the two integers that the
     * launcher configures together with the colour.
     */
    public static final class TextLine {
        private final String text;
        private final int x;
        private final int y;
        private final String colour;
        private final int colourArgument1;
        private final int colourArgument2;

        TextLine(String text, int x, int y, String colour, int colourArgument1, int colourArgument2) {
            this.text = text;
            this.x = x;
            this.y = y;
            this.colour = colour;
            this.colourArgument1 = colourArgument1;
            this.colourArgument2 = colourArgument2;
        }

        public String getText() {
            return text;
        }

        public int getX() {
            return x;
        }

        public int getY() {
            return y;
        }

        public String getColour() {
            return colour;
        }

        public int getColourArgument1() {
            return colourArgument1;
        }

        public int getColourArgument2() {
            return colourArgument2;
        }
    }
}
