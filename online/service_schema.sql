-- The tables of the Kalvira online service, in Windows-1251 like the program's own
-- connection. Running this again keeps existing tables and their rows.
-- Run it inside the service schema: kalvira-admin schema, or
--   mariadb --default-character-set=utf8mb4 SCHEMA < online/service_schema.sql

-- The chat feed: the newest rows (largest id) are shown first.
CREATE TABLE IF NOT EXISTS ut_messages (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT,
  `user` VARCHAR(255) NOT NULL,
  message TEXT NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=cp1251;

-- Accounts of the personal cabinet. password holds the Base64 cipher text of the
-- program's credential cipher, never the password; the login compares cipher texts.
-- An e-mail address is unique regardless of letter case, as the login matches it.
CREATE TABLE IF NOT EXISTS ut_users (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT,
  email VARCHAR(255) NOT NULL,
  password VARCHAR(255) NOT NULL,
  is_banned TINYINT NOT NULL DEFAULT 0,
  PRIMARY KEY (id),
  UNIQUE KEY email (email)
) ENGINE=InnoDB DEFAULT CHARSET=cp1251;

-- Plug-ins offered in the cabinet; size in kilobytes.
CREATE TABLE IF NOT EXISTS ut_plugins (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT,
  name VARCHAR(255) NOT NULL,
  size INT UNSIGNED NOT NULL,
  version VARCHAR(255) NOT NULL,
  link VARCHAR(1024) NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=cp1251;

-- The newest version per product line; the program asks for id_main 0. version has 8
-- decimal digits: major, minor, 6-digit build (50091215 is 5.0 BUILD 091215).
CREATE TABLE IF NOT EXISTS ut_versions (
  id_main INT NOT NULL,
  version INT UNSIGNED NOT NULL,
  link VARCHAR(1024) NOT NULL,
  PRIMARY KEY (id_main)
) ENGINE=InnoDB DEFAULT CHARSET=cp1251;
