package com.lorix.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Optional;

/**
 * Finds the application's main class and calls its main method. The class
 * is loaded through the thread's context class loader (the system class
 * loader when there is none); in module mode ("/module/class") through the
 * named module of the boot layer. Modules exist from Java 9 on, and this
 * code also runs on Java 8, so they are reached by reflection.
 */
final class ApplicationMain {
    private ApplicationMain() {
    }

    /**
     * The public static void main(String[]) of the named class.
     *
     * @throws ReflectiveOperationException with a message for the user when
     *         the class or its main method cannot be found
     */
    static Method findMain(String className) throws ReflectiveOperationException {
        Class<?> mainClass = load(className);
        Method main;
        try {
            main = mainClass.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw missingMain(mainClass);
        }
        if (!Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class) {
            throw missingMain(mainClass);
        }
        makeAccessible(main);
        return main;
    }

    /**
     * Calls the main method. An exception thrown by it reaches the caller as
     * itself, not wrapped, so that the launcher reports the application's
     * own failure. A main method that the module system keeps from us is
     * reported as a start failure.
     */
    static void invoke(Method main, String[] args) throws Throwable {
        try {
            main.invoke(null, (Object) args);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        } catch (IllegalAccessException e) {
            reportStartFailure("cannot call main of " + main.getDeclaringClass().getName() + ": " + e.getMessage());
            throw e;
        }
    }

    /** The one-line report of an application that could not be started, on standard error. */
    static void reportStartFailure(String message) {
        System.err.println("Cannot start the application: " + message);
    }

    private static Class<?> load(String name) throws ReflectiveOperationException {
        if (name.startsWith("/")) {
            return loadFromModule(name.substring(1));
        }
        try {
            return Class.forName(name, false, applicationClassLoader());
        } catch (ClassNotFoundException e) {
            throw new ClassNotFoundException("main class " + name + " not found", e);
        }
    }

    private static NoSuchMethodException missingMain(Class<?> mainClass) {
        return new NoSuchMethodException("class " + mainClass.getName()
                + " has no public static void main(String[])");
    }

    // A JNI launcher calls main regardless of the class's own visibility;
    // do the same where the module system allows it.
    private static void makeAccessible(Method main) {
        try {
            main.setAccessible(true);
        } catch (RuntimeException e) {
            // Not open to us: invoke still works when the package is exported.
        }
    }

    private static ClassLoader applicationClassLoader() {
        ClassLoader context = Thread.currentThread().getContextClassLoader();
        return context != null ? context : ClassLoader.getSystemClassLoader();
    }

    private static Class<?> loadFromModule(String moduleAndClass) throws ReflectiveOperationException {
        int slash = moduleAndClass.indexOf('/');
        if (slash <= 0 || slash == moduleAndClass.length() - 1) {
            throw new ClassNotFoundException("module main class \"/" + moduleAndClass
                    + "\" is not of the form /module/class");
        }
        String moduleName = moduleAndClass.substring(0, slash);
        String className = moduleAndClass.substring(slash + 1);
        Object module = findBootModule(moduleName);
        Method forName = Class.class.getMethod("forName", module.getClass(), String.class);
        Class<?> loaded;
        try {
            loaded = (Class<?>) forName.invoke(null, module, className);
        } catch (InvocationTargetException e) {
            throw new ClassNotFoundException("main class " + className + " of module " + moduleName
                    + " cannot be loaded: " + e.getCause(), e.getCause());
        }
        if (loaded == null) {
            throw new ClassNotFoundException("main class " + className + " not found in module " + moduleName);
        }
        return loaded;
    }

    private static Object findBootModule(String moduleName) throws ReflectiveOperationException {
        Class<?> layerClass;
        try {
            layerClass = Class.forName("java.lang.ModuleLayer");
        } catch (ClassNotFoundException e) {
            throw new ClassNotFoundException("module " + moduleName + " cannot be used: modules need Java 9 or later,"
                    + " this is Java " + System.getProperty("java.version"), e);
        }
        Object bootLayer = layerClass.getMethod("boot").invoke(null);
        Optional<?> module = (Optional<?>) layerClass.getMethod("findModule", String.class).invoke(bootLayer,
                moduleName);
        if (!module.isPresent()) {
            throw new ClassNotFoundException("module " + moduleName
                    + " is not in the boot layer (it must be on the module path and among --add-modules)");
        }
        return module.get();
    }
}
